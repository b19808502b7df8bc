"""A TCP proxy between a copy's PostgreSQL driver and the server that can cut the link at the
worst moment for a post: after the server has committed the note's insert and before its
answer reaches the copy. Otherwise it passes everything through unchanged."""

import select
import socket
import struct
import threading

SSL_REQUEST = 80877103
GSSENC_REQUEST = 80877104
CANCEL_REQUEST = 80877102


class _Messages:
    """Splits one direction of the protocol into whole messages. The client's first
    messages carry no type byte; the server answers an SSL or GSS request with one byte."""

    def __init__(self, typed):
        self.buffer = b""
        self.typed = typed
        self.single_bytes = 0  # one-byte answers due before the typed messages

    def feed(self, data):
        self.buffer += data
        out = []
        while True:
            if self.single_bytes and self.buffer:
                out.append((None, self.buffer[:1]))
                self.buffer = self.buffer[1:]
                self.single_bytes -= 1
                continue
            if self.typed:
                if len(self.buffer) < 5:
                    break
                length = struct.unpack("!I", self.buffer[1:5])[0]
                if len(self.buffer) < 1 + length:
                    break
                out.append((self.buffer[:1], self.buffer[:1 + length]))
                self.buffer = self.buffer[1 + length:]
            else:
                if len(self.buffer) < 8:
                    break
                length, code = struct.unpack("!II", self.buffer[:8])
                if len(self.buffer) < length:
                    break
                out.append((code, self.buffer[:length]))
                self.buffer = self.buffer[length:]
        return out


class CutAfterInsertProxy:
    """Listens on 127.0.0.1:port and forwards each connection to the server. arm() makes
    the next connection that sees an INSERT into MSGS complete (the server's
    CommandComplete followed by ReadyForQuery: committed in autocommit) drop both sides
    instead of passing the answer on."""

    def __init__(self, port, server_port):
        self.server_port = server_port
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", port))
        self.listener.listen(16)
        self.lock = threading.Lock()
        self.armed = False
        self.cut = threading.Event()
        self.closing = False
        threading.Thread(target=self._accept, daemon=True).start()

    def arm(self):
        with self.lock:
            self.armed = True
            self.cut.clear()

    def disarm(self):
        with self.lock:
            self.armed = False

    def close(self):
        self.closing = True
        try:
            self.listener.close()
        except OSError:
            pass

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(client,), daemon=True).start()

    def _serve(self, client):
        try:
            server = socket.create_connection(("127.0.0.1", self.server_port), timeout=5)
            server.settimeout(None)
        except OSError:
            client.close()  # as a server that is down: the copy's connect fails
            return
        from_client, from_server = _Messages(typed=False), _Messages(typed=True)
        insert_sent = False   # an INSERT INTO MSGS went to the server
        insert_done = False   # and the server said it completed
        try:
            while True:
                ready, _, _ = select.select([client, server], [], [])
                if client in ready:
                    data = client.recv(65536)
                    if not data:
                        return
                    for code, raw in from_client.feed(data):
                        if code in (SSL_REQUEST, GSSENC_REQUEST):
                            from_server.single_bytes += 1
                        elif isinstance(code, int):
                            from_client.typed = True  # the startup message: typed from now on
                        elif code in (b"Q", b"P") and b"INSERT INTO MSGS" in raw.upper():
                            insert_sent = True
                        server.sendall(raw)
                if server in ready:
                    data = server.recv(65536)
                    if not data:
                        return
                    passing, held = [], []
                    for code, raw in from_server.feed(data):
                        if insert_sent and code == b"C" and raw[5:].startswith(b"INSERT"):
                            insert_done = True
                        if not insert_done:
                            passing.append(raw)
                            continue
                        # From the insert's completion to the end of its answer, held back.
                        held.append(raw)
                        if code == b"Z":
                            insert_sent = insert_done = False
                            with self.lock:
                                cut, self.armed = self.armed, False
                            if cut:
                                client.sendall(b"".join(passing))
                                self.cut.set()
                                return
                            passing += held
                            held = []
                    client.sendall(b"".join(passing))
                    if held:
                        from_server.buffer = b"".join(held) + from_server.buffer
                        insert_done = False
        except OSError:
            return
        finally:
            for end in (client, server):
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                end.close()
