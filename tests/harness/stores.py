"""The shared store as the test reads it behind the program's back: a SQLite data file, or a
database on the suite's PostgreSQL server."""

import os
import sqlite3
import subprocess
from dataclasses import dataclass


@dataclass(frozen=True)
class Note:
    text: str
    recipient: str
    sender: str
    urgency: int
    key: int


@dataclass(frozen=True)
class Receipt:
    recipient: str
    text: str
    shown: str
    deleted: str


RECEIPTS_QUERY = "SELECT RECIPIENT, MSG, SHOWN, DELETED FROM RCPTS WHERE SENDER='{}' ORDER BY TKEY"
NOTES_QUERY = "SELECT MSG, RECIPIENT, SENDER, URGENCY, TKEY FROM MSGS ORDER BY TKEY"
USERS_QUERY = "SELECT RECIPIENT FROM USRS ORDER BY RECIPIENT"
PRESENCE_QUERY = "SELECT NAME, STATE FROM VIMO_PRESENCE"


def _notes(rows):
    # CHAR columns come back padded from some engines; the program cuts trailing blanks too.
    return [Note(str(r[0] or "").rstrip(), str(r[1] or "").rstrip(), str(r[2] or "").rstrip(),
                 int(r[3]), int(r[4])) for r in rows]


def _receipts(rows):
    return [Receipt(*(str(v or "").rstrip() for v in r)) for r in rows]


LATER_INSERT = ("INSERT INTO VIMO_LATER (ID,SENDER,RECIPIENT,DT,URGENCY,MSG,DUE,SENT) "
                "VALUES(1,'{}','{}',20261208,2,'{}',{},'')")


class SqliteStore:
    kind = "sqlite"

    def __init__(self, path):
        self.path = path

    def exists(self):
        return os.path.isfile(self.path)

    def _rows(self, query):
        if not self.exists():
            return []
        # Read only, and wait for a writing copy rather than fail.
        with sqlite3.connect(f"file:{self.path}?mode=ro", uri=True, timeout=10) as db:
            try:
                return db.execute(query).fetchall()
            except sqlite3.OperationalError as error:
                # Only a store whose tables are not there yet reads as empty; a file locked
                # past the wait is a failure, not an empty store.
                if "no such table" in str(error):
                    return []
                raise

    def notes(self):
        return _notes(self._rows(NOTES_QUERY))

    def plant_later(self, sender, recipient, text, due):
        """A note for later as the sender's copy keeps it."""
        with sqlite3.connect(self.path, timeout=10) as db:
            db.execute(LATER_INSERT.format(sender, recipient, text, due))
        db.close()

    def users(self):
        return [str(r[0]).rstrip() for r in self._rows(USERS_QUERY)]

    def presence(self):
        return {str(r[0]).rstrip(): int(r[1]) for r in self._rows(PRESENCE_QUERY)}

    def receipts(self, sender):
        return _receipts(self._rows(RECEIPTS_QUERY.format(sender)))

    def remove(self):
        pass


class PostgresStore:
    """A database of its own on the suite's server, with the program's tables made by the
    office's administrator: the program itself never makes tables on a server. With identity,
    a superuser makes the group role, the tables' owner (no superuser) runs the two schema
    files, and the administrator gives each person a role of their own."""

    kind = "postgres"
    SCHEMAS = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources",
                            name) for name in ("postgresql-schema.sql", "postgresql-identity.sql")]
    ROLE_SCHEMA = os.path.join(os.path.dirname(SCHEMAS[0]), "postgresql-identity-role.sql")
    OWNER = "vimo_owner"
    PASSWORDS = {"ANN": "ann-Secret-1", "BOB": "bob-Secret-2", "EVE": "eve-Secret-3"}
    TABLES = (
        "CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,SENDER CHAR(15) NULL,"
        "DT INT,URGENCY INT,TKEY INT)",
        "CREATE TABLE USRS(RECIPIENT CHAR(15))",
        "CREATE UNIQUE INDEX MSGS_TKEY ON MSGS(TKEY)",
        "CREATE INDEX MSGS_RECIPIENT ON MSGS(RECIPIENT)",
    )

    def __init__(self, port, database, identity=False):
        self.port = port
        self.database = database
        self.identity = identity

    def _run(self, database, *arguments, role="postgres", password=None):
        return subprocess.run(
            ["psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", role, "-d", database,
             "-X", "-A", "-t", "-F", "\x1f", *arguments], capture_output=True, text=True,
            env=dict(os.environ, PGPASSWORD=password or self.PASSWORDS.get(role, "")))

    def _psql(self, database, sql, role="postgres"):
        result = self._run(database, "-q", "-v", "ON_ERROR_STOP=1", "-c", sql, role=role)
        if result.returncode != 0:
            raise RuntimeError(f"psql: {result.stderr.strip()}")
        return [line.split("\x1f") for line in result.stdout.splitlines() if line]

    def plant_later(self, sender, recipient, text, due):
        self._psql(self.database, LATER_INSERT.format(sender, recipient, text, due))

    def psql_as(self, role, sql, password=None):
        """What psql says to the role, with its own password unless another is given."""
        result = self._run(self.database, "-c", sql, role=role, password=password)
        return (result.stdout + result.stderr).strip()

    def create(self):
        self._psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        owner = "postgres"
        if self.identity:
            owner = self.OWNER
            self._psql("postgres", f"""DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles
                WHERE rolname = '{owner}') THEN CREATE ROLE {owner} LOGIN; END IF; END $$""")
        self._psql("postgres", f"CREATE DATABASE {self.database} ENCODING 'UTF8' OWNER {owner}")
        if self.identity:
            self._psql(self.database, f"\\i {self.ROLE_SCHEMA}")
        for statement in [f"\\i {path}" for path in self.SCHEMAS] if self.identity else self.TABLES:
            self._psql(self.database, statement, role=owner)
        if self.identity:  # others' notes, on the keys a copy that saw only its own would try
            self._psql(self.database, "INSERT INTO MSGS SELECT 'Not yours','DAN','CAT',20260101,"
                       "1,K FROM generate_series(1,300) K")
        # Roles belong to the whole server: made once, and given their passwords again.
        for role, password in self.PASSWORDS.items() if self.identity else ():
            self._psql(self.database, f"""DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles
                WHERE rolname = '{role}') THEN CREATE ROLE "{role}" LOGIN; END IF; END $$;
                ALTER ROLE "{role}" PASSWORD '{password}'; GRANT vimo_users TO "{role}";""")

    def remove(self):
        try:
            self._psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        except RuntimeError:
            pass

    def data_source(self, role="postgres", host="127.0.0.1", keys=None):
        # As an office's administrator writes it: the program's text is UTF-8 whatever the
        # user's locale. Keys, when given, say who signs in and how instead of the role.
        who = f"Username={role}\nPassword=\n" if keys is None else keys
        return ("[VIMO]\nDriver=PostgreSQL ANSI\nDescription=Vimo File\n"
                f"Servername={host}\nPort={self.port}\nDatabase={self.database}\n{who}"
                "ConnSettings=SET client_encoding TO 'UTF8'\n")

    def pgpass(self, role, host="127.0.0.1"):
        return f"{host}:{self.port}:{self.database}:{role}:{self.PASSWORDS[role]}\n"

    def notes(self):
        return _notes(self._psql(self.database, NOTES_QUERY))

    def users(self):
        return [r[0].rstrip() for r in self._psql(self.database, USERS_QUERY)]

    def presence(self):
        return {r[0].rstrip(): int(r[1]) for r in self._psql(self.database, PRESENCE_QUERY)}

    def receipts(self, sender):
        return _receipts(self._psql(self.database, RECEIPTS_QUERY.format(sender)))
