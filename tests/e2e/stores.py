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


def _notes(rows):
    # CHAR columns come back padded from some engines; the program cuts trailing blanks too.
    return [Note(str(r[0] or "").rstrip(), str(r[1] or "").rstrip(), str(r[2] or "").rstrip(),
                 int(r[3]), int(r[4])) for r in rows]


def _receipts(rows):
    return [Receipt(*(str(v or "").rstrip() for v in r)) for r in rows]


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

    def users(self):
        return [str(r[0]).rstrip() for r in self._rows(USERS_QUERY)]

    def receipts(self, sender):
        return _receipts(self._rows(RECEIPTS_QUERY.format(sender)))

    def remove(self):
        pass


class PostgresStore:
    """A database of its own on the suite's server, with the program's tables made by the
    office's administrator: the program itself never makes tables on a server."""

    kind = "postgres"
    TABLES = (
        "CREATE TABLE MSGS(MSG CHAR(250) NULL,RECIPIENT CHAR(15) NULL,SENDER CHAR(15) NULL,"
        "DT INT,URGENCY INT,TKEY INT)",
        "CREATE TABLE USRS(RECIPIENT CHAR(15))",
        "CREATE UNIQUE INDEX MSGS_TKEY ON MSGS(TKEY)",
        "CREATE INDEX MSGS_RECIPIENT ON MSGS(RECIPIENT)",
    )

    def __init__(self, port, database):
        self.port = port
        self.database = database

    def _psql(self, database, sql):
        result = subprocess.run(
            ["psql", "-h", "127.0.0.1", "-p", str(self.port), "-U", "postgres", "-d", database,
             "-X", "-q", "-A", "-t", "-F", "\x1f", "-v", "ON_ERROR_STOP=1", "-c", sql],
            capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"psql: {result.stderr.strip()}")
        return [line.split("\x1f") for line in result.stdout.splitlines() if line]

    def create(self):
        self._psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        self._psql("postgres", f"CREATE DATABASE {self.database} ENCODING 'UTF8'")
        for statement in self.TABLES:
            self._psql(self.database, statement)

    def remove(self):
        try:
            self._psql("postgres", f"DROP DATABASE IF EXISTS {self.database} WITH (FORCE)")
        except RuntimeError:
            pass

    def data_source(self):
        # As an office's administrator writes it: the program's text is UTF-8 whatever the
        # user's locale.
        return ("[VIMO]\nDriver=PostgreSQL ANSI\nDescription=Vimo File\nServername=127.0.0.1\n"
                f"Port={self.port}\nDatabase={self.database}\nUsername=postgres\nPassword=\n"
                "ConnSettings=SET client_encoding TO 'UTF8'\n")

    def notes(self):
        return _notes(self._psql(self.database, NOTES_QUERY))

    def users(self):
        return [r[0].rstrip() for r in self._psql(self.database, USERS_QUERY)]

    def receipts(self, sender):
        return _receipts(self._psql(self.database, RECEIPTS_QUERY.format(sender)))
