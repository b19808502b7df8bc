#!/usr/bin/env python3
"""What ANN, BOB and EVE may do in a PostgreSQL store with row-level security, each through
psql with a password of their own: EVE can neither read, change nor delete BOB's notes, post
as ANN, read or stamp ANN's receipts, nor sign anybody up but herself."""

import os
import re
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from stores import PostgresStore  # noqa: E402


def post(sender, recipient, text):
    return ("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES("
            f"'{text}','{recipient}','{sender}',20260101,COALESCE(VIMO_LARGEST_KEY(),0)+1,3)")


# In order: each row meets what the rows before it left. Who is a role, or a role and the
# password tried for it; the answer matches all that psql says.
RLS = ".*violates row-level security policy.*"
CHECKS = (
    ("ANN", "INSERT INTO USRS VALUES('ANN')", "INSERT 0 1"),
    ("BOB", "INSERT INTO USRS VALUES('BOB')", "INSERT 0 1"),
    ("EVE", "INSERT INTO USRS VALUES('BOB')", RLS),
    ("EVE", "INSERT INTO USRS VALUES('EVE')", "INSERT 0 1"),
    ("EVE", "SELECT COUNT(*) FROM USRS", "3"),
    ("ANN", post("ANN", "BOB", "Pay rise"), "INSERT 0 1"),
    ("ANN", "INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT) VALUES(1,'ANN','BOB',20260101,"
     "'Pay rise','2026-01-01 09:00:00')", "INSERT 0 1"),
    ("EVE", "SELECT COUNT(*) FROM MSGS", "0"),
    # The unique key index takes it: a free key although she sees no other.
    ("EVE", post("EVE", "BOB", "Lunch?"), "INSERT 0 1"),
    ("EVE", post("ANN", "BOB", "Fire drill now"), RLS),
    ("EVE", "UPDATE MSGS SET MSG='Pay cut'", ".*permission denied for table msgs"),
    ("EVE", "DELETE FROM MSGS", "DELETE 0"),
    ("EVE", "TRUNCATE MSGS", ".*permission denied for table msgs"),
    ("EVE", "SELECT COUNT(*) FROM RCPTS", "0"),
    ("EVE", "UPDATE RCPTS SET SHOWN='2026-01-01 09:01:00'", "UPDATE 0"),
    ("ANN", "SELECT MSG FROM RCPTS WHERE SHOWN IS NULL", "Pay rise"),
    (("BOB", PostgresStore.PASSWORDS["EVE"]), "SELECT 1", ".*password authentication failed.*"),
    ("BOB", "SELECT COUNT(*) FROM MSGS", "2"),
    ("BOB", "UPDATE RCPTS SET MSG='Pay cut'", ".*permission denied for table rcpts"),
    ("BOB", "UPDATE RCPTS SET SHOWN='2026-01-01 09:02:00'", "UPDATE 1"),
    ("ANN", "SELECT SHOWN FROM RCPTS", "2026-01-01 09:02:00"),
    ("ANN", "DELETE FROM MSGS", "DELETE 0"),
    ("BOB", "DELETE FROM MSGS", "DELETE 2"),
)


def main():
    store = PostgresStore(os.environ["VIMO_TEST_PG_PORT"], f"vimo_roles_{os.getpid()}", True)
    failures = []
    try:
        store.create()
        for number, (who, statement, answer) in enumerate(CHECKS, start=1):
            role, password = who if isinstance(who, tuple) else (who, None)
            said = store.psql_as(role, statement, password)
            if not re.fullmatch(answer, said, re.S):
                failures.append(f"{number}. {role}: {statement}\n   wants {answer!r}: {said!r}")
    finally:
        store.remove()
    print("\n".join(failures) or f"all {len(CHECKS)} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
