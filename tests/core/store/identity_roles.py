#!/usr/bin/env python3
"""What ANN, BOB and EVE may do in a PostgreSQL store with row-level security, each through
psql with a password of their own."""

import os
import re
import sys

from harness.stores import PostgresStore

POST = ("INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,TKEY,URGENCY) VALUES('Hi','BOB','{}',20260101,"
        "COALESCE(VIMO_LARGEST_KEY(),0)+1,3)")
RLS, DENIED = ".*violates row-level security policy.*", ".*permission denied for table {}"
# In order, each row meeting what the rows before left: who, what, the whole of psql's answer,
# and the password tried when not the role's own.
CHECKS = (
    ("EVE", "INSERT INTO USRS VALUES('BOB')", RLS),
    ("ANN", POST.format("ANN"), "INSERT 0 1"),
    ("ANN", "INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG) VALUES(1,'ANN','BOB',20260101,'Hi')",
     "INSERT 0 1"),
    ("EVE", "SELECT COUNT(*) FROM MSGS", "0"),
    ("EVE", POST.format("EVE"), "INSERT 0 1"),  # a key free among the notes she cannot see
    ("EVE", POST.format("ANN"), RLS),
    ("EVE", "UPDATE MSGS SET MSG='Fired'", DENIED.format("msgs")),
    ("EVE", "DELETE FROM MSGS", "DELETE 0"),
    ("EVE", "SELECT COUNT(*) FROM RCPTS", "0"),
    ("EVE", "UPDATE RCPTS SET SHOWN='x'", "UPDATE 0"),
    ("BOB", "SELECT 1", ".*password authentication failed.*", PostgresStore.PASSWORDS["EVE"]),
    ("BOB", "SELECT COUNT(*) FROM MSGS", "2"),
    ("BOB", "UPDATE RCPTS SET MSG='Fired'", DENIED.format("rcpts")),
)


def main():
    store = PostgresStore(os.environ["VIMO_TEST_PG_PORT"], f"vimo_roles_{os.getpid()}", True)
    try:
        store.create()
        said = [store.psql_as(who, what, *password) for who, what, _, *password in CHECKS]
    finally:
        store.remove()
    failures = [f"{who}: {what}\n  wants {answer!r}: {got!r}"
                for (who, what, answer, *_), got in zip(CHECKS, said)
                if not re.fullmatch(answer, got, re.S)]
    print("\n".join(failures) or f"all {len(CHECKS)} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
