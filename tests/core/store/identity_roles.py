#!/usr/bin/env python3
"""What ANN, BOB and EVE may do in a PostgreSQL store in the identity mode, each through psql
with a password of their own, on a store set up from the shipped files by a tables' owner who
is no superuser."""

import hashlib
import os
import re
import subprocess
import sys

from harness.stores import PostgresStore

POST = "SELECT VIMO_POST('{}','{}',20260101,{},NULL)"
INSERT = ("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY) "
          "VALUES('Planted','BOB','{}',1,1,{})")
LATER = "SELECT VIMO_POST_LATER('BOB','{}',20260101,1,{}) > 0"
DENIED = ".*permission denied for {} {}"
KEY = r"\d+"
# The queue of notifications as good as full: the trigger finds these first on the path.
FULL_QUEUE = ("CREATE SCHEMA QUEUE; CREATE FUNCTION QUEUE.pg_notification_queue_usage() "
              "RETURNS float8 LANGUAGE sql AS 'SELECT 0.99'; CREATE FUNCTION QUEUE.pg_notify("
              "text, text) RETURNS void LANGUAGE plpgsql AS $$BEGIN RAISE 'the queue is full'; "
              "END$$; SET search_path = QUEUE, public, pg_catalog; ")
HELD = "held open: "  # the session stays open, its transaction too, to the end of the table
# In order, each row meeting what the rows before left: who, what, the whole of psql's answer,
# and the password tried when not the role's own.
CHECKS = (
    ("BOB", "SELECT VIMO_JOIN()", ""),
    ("EVE", "INSERT INTO USRS VALUES('BOB')", DENIED.format("table", "usrs")),
    ("EVE", "SET ROLE vimo_users; INSERT INTO USRS VALUES('vimo_users')",
     "SET\n" + DENIED.format("table", "usrs")),
    ("EVE", "SET ROLE vimo_users; SELECT VIMO_JOIN()", "SET"),
    ("ANN", "SELECT VIMO_JOIN(); SELECT string_agg(rtrim(RECIPIENT), ',' ORDER BY RECIPIENT) "
     "FROM VIMO_USERS()", "ANN,BOB,EVE"),
    ("ANN", POST.format("BOB", "Hi", 2), KEY),  # past 300 keys that others' notes hold
    ("EVE", "SET ROLE vimo_users; " + POST.format("BOB", "Anonymous", 3), "SET\n" + KEY),
    ("EVE", INSERT.format("ANN", 1000), DENIED.format("table", "msgs")),
    ("EVE", INSERT.format("EVE", 2147483647), DENIED.format("table", "msgs")),  # a top key
    ("EVE", "SELECT COUNT(*) FROM MSGS", DENIED.format("table", "msgs")),
    ("EVE", "EXPLAIN ANALYZE SELECT * FROM MSGS WHERE RECIPIENT='BOB'",
     DENIED.format("table", "msgs")),
    ("EVE", "BEGIN; LOCK TABLE MSGS IN ACCESS EXCLUSIVE MODE",
     "BEGIN\n" + DENIED.format("table", "msgs")),
    ("EVE", "UPDATE MSGS SET MSG='Fired'", DENIED.format("table", "msgs")),
    ("EVE", "SELECT sum(VIMO_DELETE(K, 'ANN')) FROM generate_series(1, 400) K", "0"),
    ("EVE", "SELECT nextval('VIMO_KEYS')", DENIED.format("sequence", "vimo_keys")),
    ("EVE", POST.format("NOBODY", "Hi", 1), ".*no user is named NOBODY.*"),
    ("EVE", POST.format("BOB", "Hi", 4), ".*an urgency of 1, 2 or 3.*"),
    ("EVE", POST.format("BOB", "Hi", "NULL"), ".*an urgency of 1, 2 or 3.*"),
    ("EVE", POST.format("BOB", "x' || repeat('x', 250) || '", 1), ".*at most 250 characters.*"),
    ("EVE", POST.format("BOB", "Flood", 1).replace("SELECT ", "SELECT count(", 1)
     + ") FROM generate_series(1, 1000)", ".*EVE has 1000 notes unread.*"),
    ("EVE", HELD + "BEGIN; " + POST.format("BOB", "Held", 1) + "; " + POST.format("ANN", "Hi", 1),
     f"BEGIN\n{KEY}\n{KEY}"),
    ("ANN", "SET statement_timeout = '5s'; " + POST.format("BOB", "Past the held", 1),
     "SET\n" + KEY),
    ("EVE", f"LISTEN vimo_{hashlib.md5(b'BOB').hexdigest()}; " + POST.format("BOB", "Hi", 1),
     "LISTEN\n" + KEY),  # nothing heard on the channel that anybody can compute
    ("EVE", "SELECT * FROM VIMO_WAKEUPS", DENIED.format("table", "vimo_wakeups")),
    ("BOB", "DO $$BEGIN EXECUTE 'LISTEN ' || VIMO_CHANNEL(); END$$; "
     + POST.format("BOB", "To myself", 1),
     f'DO\n{KEY}\nAsynchronous notification "vimo_[0-9a-f]{{32}}" received .*'),
    ("OWNER", FULL_QUEUE + INSERT.format("ANN", 2000), "CREATE SCHEMA\n.*\nSET\nINSERT 0 1"),
    ("MAL", "SELECT 1", '.*permission denied for database.*'),
    ("BOB", "SELECT 1", ".*password authentication failed.*", PostgresStore.PASSWORDS["EVE"]),
    ("BOB", "SELECT string_agg(rtrim(SENDER), ',' ORDER BY MSG, SENDER) FROM VIMO_NOTES()",
     "EVE,ANN,EVE,ANN,ANN,BOB"),
    ("BOB", "SELECT VIMO_SHOWN(string_agg(TKEY::text, ',')) FROM VIMO_NOTES()", "5"),
    ("BOB", "SELECT VIMO_SHOWN(string_agg(TKEY::text, ',')) FROM VIMO_NOTES()", "0"),
    ("BOB", "UPDATE RCPTS SET SHOWN=NULL", DENIED.format("table", "rcpts")),
    ("BOB", "SELECT VIMO_DELETE(TKEY, SENDER) FROM VIMO_NOTES() WHERE SENDER='ANN' AND MSG='Hi'",
     "1"),
    ("ANN", "SELECT string_agg(rtrim(MSG) || ':' || (SHOWN IS NOT NULL)::int || (DELETED IS NOT "
     "NULL)::int, ',' ORDER BY MSG) FROM VIMO_SENT()", "Hi:11,Past the held:10"),
    ("ANN", "SELECT COUNT(*) FROM RCPTS", DENIED.format("table", "rcpts")),
    ("ANN", "SELECT VIMO_HERE(1); SELECT VIMO_GROUP_SET('SALES', 'ANN,BOB')", r"\s*2"),
    ("EVE", "SELECT VIMO_HERE(2); SELECT string_agg(rtrim(NAME) || STATE, ',' ORDER BY NAME) "
     "FROM VIMO_PRESENCE_LIST()", r"\s*ANN1,EVE2"),
    ("EVE", "DELETE FROM VIMO_PRESENCE", DENIED.format("table", "vimo_presence")),
    ("EVE", "SELECT VIMO_GROUP_SET('SALES', 'EVE')", ".*only a member of SALES may change it.*"),
    ("EVE", "SELECT VIMO_GROUP_SET('BOB', 'EVE')", ".*BOB is a user's name.*"),
    ("BOB", "SELECT VIMO_GROUP_SET('SALES', 'BOB'); SELECT string_agg(rtrim(GRP) || ':' || "
     "rtrim(MEMBER), ',') FROM VIMO_GROUP_LIST()", "1\nSALES:BOB"),
    # Deleted notes wait for their recipient alone, and come back with their receipt.
    ("EVE", "SELECT COUNT(*) FROM VIMO_DELETED_NOTES()", "0"),
    ("EVE", "SELECT COUNT(*) FROM VIMO_DELETED", DENIED.format("table", "vimo_deleted")),
    ("EVE", "SELECT VIMO_RESTORE(TKEY, SENDER, DT, GONE) FROM VIMO_DELETED_NOTES()", ""),
    ("BOB", "SELECT VIMO_RESTORE(TKEY, SENDER, DT, GONE) > 0 FROM VIMO_DELETED_NOTES()", "t"),
    ("BOB", "SELECT COUNT(*) FROM VIMO_DELETED_NOTES()", "0"),
    ("ANN", "SELECT string_agg(rtrim(MSG) || ':' || (DELETED IS NOT NULL)::int, ',' ORDER BY "
     "MSG) FROM VIMO_SENT()", "Hi:0,Past the held:0"),
    # Notes for later: only their sender sees or takes them back; they come once, when due.
    ("ANN", LATER.format("Soon", "CAST(EXTRACT(EPOCH FROM now()) AS INT)+3600"), "t"),
    ("ANN", LATER.format("Due", "1") + "; " + LATER.format("Due", "1"), "t\nt"),
    ("EVE", "SELECT VIMO_MOVE_DUE() || ',' || VIMO_TAKE_BACK(1) || ',' || COUNT(*) "
     "FROM VIMO_LATER_SENT()", "0,0,0"),
    ("EVE", "SELECT COUNT(*) FROM VIMO_LATER", DENIED.format("table", "vimo_later")),
    ("BOB", "SELECT VIMO_MOVE_DUE() || ',' || VIMO_MOVE_DUE()", "1,0"),
    ("BOB", "SELECT COUNT(*) FROM VIMO_NOTES() WHERE MSG='Due'", "1"),
    ("ANN", "SELECT string_agg(rtrim(MSG), ',') FROM VIMO_LATER_SENT()", "Soon"),
    ("ANN", "SELECT VIMO_TAKE_BACK(ID) FROM VIMO_LATER_SENT()", "1"),
)


def hold(store, who, what):
    """A psql session of the role that ran the statements and stays open; what it said."""
    session = subprocess.Popen(
        ["psql", "-h", "127.0.0.1", "-p", str(store.port), "-U", who, "-d", store.database, "-X",
         "-A", "-t"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
        text=True, env=dict(os.environ, PGPASSWORD=store.PASSWORDS[who]))
    session.stdin.write(f"{what};\n\\echo held\n")
    session.stdin.flush()
    said = []
    for line in session.stdout:
        if line == "held\n":
            break
        said.append(line)
    return session, "".join(said).strip()


def main():
    store = PostgresStore(os.environ["VIMO_TEST_PG_PORT"], f"vimo_roles_{os.getpid()}", True)
    held, said = [], []
    try:
        store.create()
        store.psql_as("postgres", """DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE
            rolname = 'MAL') THEN CREATE ROLE "MAL" LOGIN; END IF; END$$""")
        for who, what, _, *password in CHECKS:
            who = store.OWNER if who == "OWNER" else who
            if what.startswith(HELD):
                held.append(hold(store, who, what[len(HELD):]))
                said.append(held[-1][1])
            else:
                said.append(store.psql_as(who, what, *password))
    finally:
        for session, _ in held:
            session.kill()
            session.wait()
        store.remove()
    failures = [f"{who}: {what}\n  wants {answer!r}: {got!r}"
                for (who, what, answer, *_), got in zip(CHECKS, said)
                if not re.fullmatch(answer, got, re.S)]
    print("\n".join(failures) or f"all {len(CHECKS)} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
