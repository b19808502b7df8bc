-- Proven senders and private notes. Every person connects as a database role named after
-- them (in capitals, as Vimo writes names) and a member of vimo_users. The group may call the
-- functions below and touch nothing else: no table, no sequence. Each function acts for the
-- role that logged in (session_user: SET ROLE changes nothing), and works on that person's
-- rows alone.
-- Run it as the owner of the tables, who need not be a superuser, after postgresql-schema.sql
-- and after a superuser made vimo_users with postgresql-identity-role.sql. Run again, it
-- changes nothing; run on a store of the earlier identity mode, it upgrades it. It runs as one
-- transaction. The owner and superusers stay outside: no copy should connect as either.
BEGIN;
-- A colleague's open transaction must not hold the file up, and every copy behind it.
SET LOCAL lock_timeout = '10s';
SET LOCAL client_min_messages = warning;
DO $$
BEGIN
    IF to_regclass('msgs') IS NULL OR to_regclass('usrs') IS NULL OR to_regclass('rcpts') IS NULL
        OR to_regclass('msgs_tkey') IS NULL THEN
        RAISE EXCEPTION 'MSGS, USRS, RCPTS or the index MSGS_TKEY is missing: run postgresql-schema.sql first';
    END IF;
    IF (SELECT prosrc NOT ILIKE '%vimo_wakeups%' FROM pg_proc WHERE oid = to_regprocedure('vimo_wakeup()')) THEN
        RAISE EXCEPTION 'the wake-up trigger is older than this file: run postgresql-schema.sql again first';
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vimo_users') THEN
        RAISE EXCEPTION 'the role vimo_users is missing: a superuser runs postgresql-identity-role.sql first';
    END IF;
    IF (SELECT relowner FROM pg_class WHERE oid = to_regclass('msgs'))
        <> (SELECT oid FROM pg_roles WHERE rolname = current_user) THEN
        RAISE EXCEPTION 'run this file as the owner of MSGS, not as %', current_user;
    END IF;
    IF (SELECT rolsuper FROM pg_roles WHERE rolname = current_user) THEN
        RAISE WARNING 'the functions run with the rights of their owner, here a superuser: a plain owner is safer';
    END IF;
    -- What follows lives beside the tables, and the functions find names there alone, never
    -- in a schema their caller controls (FROM CURRENT below).
    PERFORM set_config('search_path', (SELECT quote_ident(nspname) FROM pg_namespace
        WHERE oid = (SELECT relnamespace FROM pg_class WHERE oid = to_regclass('msgs'))) || ', pg_temp', true);
END $$;

-- The owner's alone: the keys posts take; each user's wake-up channel; each post's answer, for
-- a copy that asks again after its link broke.
CREATE SEQUENCE IF NOT EXISTS VIMO_KEYS AS INT MINVALUE 1 CYCLE;
CREATE TABLE IF NOT EXISTS VIMO_WAKEUPS(NAME TEXT PRIMARY KEY, CHANNEL TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS VIMO_POSTED(SENDER CHAR(15), TOKEN TEXT, TKEY INT,
    AT TIMESTAMPTZ NOT NULL DEFAULT now(), PRIMARY KEY (SENDER, TOKEN));
CREATE INDEX IF NOT EXISTS MSGS_SENDER ON MSGS(SENDER);
-- Keys go on past every key in use but the top of INT: a note planted there ends no post.
DO $$
BEGIN
    PERFORM setval('VIMO_KEYS', GREATEST((SELECT last_value FROM VIMO_KEYS),
        (SELECT MAX(TKEY) FROM MSGS WHERE TKEY < 2147483647), 1));
END $$;

-- The person behind the session, as Vimo writes names.
CREATE OR REPLACE FUNCTION VIMO_ME() RETURNS CHAR(15) LANGUAGE plpgsql STABLE
    SET search_path FROM CURRENT AS $$
BEGIN
    IF char_length(session_user) > 15 OR session_user <> upper(session_user) THEN
        RAISE EXCEPTION 'the database role % cannot be a Vimo name', session_user
            USING ERRCODE = '42501';
    END IF;
    RETURN session_user;
END $$;

-- A moment as receipts hold it, in UTC.
CREATE OR REPLACE FUNCTION VIMO_NOW() RETURNS CHAR(20) LANGUAGE sql STABLE
    AS $$SELECT to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"')$$;

-- A note from the caller to a user in USRS: urgency 1 to 3, at most 250 characters, and no more
-- than 1000 of the caller's notes unread at once. Its key comes from VIMO_KEYS, past any key
-- in use, so that posts at the same moment never wait for each other; the sender's record
-- for "Sent Vimos" goes with it. Asked again with the same request (its answer was lost) it
-- stores nothing and answers the same key.
CREATE OR REPLACE FUNCTION VIMO_POST(addressee TEXT, body TEXT, day BIGINT, level BIGINT,
    request TEXT) RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    taken BIGINT;
BEGIN
    -- The same request twice, also at once, posts once: the second waits for the first here.
    IF request IS NOT NULL THEN
        INSERT INTO VIMO_POSTED (SENDER, TOKEN) VALUES (me, request) ON CONFLICT DO NOTHING;
        IF NOT FOUND THEN
            RETURN (SELECT P.TKEY FROM VIMO_POSTED P WHERE P.SENDER = me AND P.TOKEN = request);
        END IF;
    END IF;
    addressee := rtrim(addressee);
    IF addressee IS NULL OR addressee = '' OR char_length(addressee) > 15 OR NOT EXISTS
        (SELECT FROM USRS U WHERE U.RECIPIENT = CAST(addressee AS CHAR(15))) THEN
        RAISE EXCEPTION 'no user is named %', addressee USING ERRCODE = '22023';
    END IF;
    IF level IS NULL OR level NOT BETWEEN 1 AND 3 OR day IS NULL OR body IS NULL
        OR char_length(request) > 64 THEN
        RAISE EXCEPTION 'a note needs a day, a text and an urgency of 1, 2 or 3'
            USING ERRCODE = '22023';
    END IF;
    IF char_length(rtrim(body)) > 250 THEN
        RAISE EXCEPTION 'a note holds at most 250 characters' USING ERRCODE = '22001';
    END IF;
    IF (SELECT count(*) FROM MSGS M WHERE M.SENDER = me) >= 1000 THEN
        RAISE EXCEPTION '% has 1000 notes unread: no more until some are deleted', rtrim(me)
            USING ERRCODE = '54000';
    END IF;
    LOOP
        taken := nextval('VIMO_KEYS');
        INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY)
            VALUES (body, addressee, me, day, level, taken) ON CONFLICT (TKEY) DO NOTHING;
        EXIT WHEN FOUND;
    END LOOP;
    INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT)
        VALUES (taken, me, addressee, day, body, VIMO_NOW());
    -- "Sent Vimos" lists the newest 50. Only the older ones are locked, and one that another
    -- session holds is left to a later post rather than waited for.
    DELETE FROM RCPTS WHERE ctid IN (SELECT O.ctid FROM RCPTS O WHERE O.ctid IN (SELECT R.ctid
        FROM RCPTS R WHERE R.SENDER = me ORDER BY R.SENT DESC, R.TKEY DESC OFFSET 50)
        FOR UPDATE SKIP LOCKED);
    IF request IS NOT NULL THEN
        UPDATE VIMO_POSTED P SET TKEY = taken WHERE P.SENDER = me AND P.TOKEN = request;
        DELETE FROM VIMO_POSTED WHERE ctid IN (SELECT O.ctid FROM VIMO_POSTED O WHERE O.ctid IN
            (SELECT P.ctid FROM VIMO_POSTED P WHERE P.SENDER = me ORDER BY P.AT DESC, P.TKEY DESC
            OFFSET 50)
            FOR UPDATE SKIP LOCKED);
    END IF;
    RETURN taken;
END $$;

-- The notes addressed to the caller, whole.
CREATE OR REPLACE FUNCTION VIMO_NOTES()
    RETURNS TABLE(TKEY INT, SENDER CHAR(15), DT INT, URGENCY INT, MSG CHAR(250))
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT
    AS $$SELECT M.TKEY, M.SENDER, M.DT, M.URGENCY, M.MSG FROM MSGS M WHERE M.RECIPIENT = VIMO_ME()$$;

-- Deletes the caller's note of that key from that sender and stamps its receipt; answers
-- how many went: 0 when another copy of the caller's was first.
CREATE OR REPLACE FUNCTION VIMO_DELETE(note BIGINT, writer TEXT) RETURNS BIGINT
    LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    gone RECORD;
BEGIN
    DELETE FROM MSGS M WHERE M.TKEY = note AND M.RECIPIENT = me
        AND COALESCE(rtrim(M.SENDER), '') = COALESCE(rtrim(writer), '')
        RETURNING M.SENDER, M.DT INTO gone;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    UPDATE RCPTS SET DELETED = VIMO_NOW() WHERE ctid IN (SELECT R.ctid FROM RCPTS R
        WHERE R.TKEY = note AND R.SENDER = gone.SENDER AND R.RECIPIENT = me AND R.DT = gone.DT
        AND R.DELETED IS NULL FOR UPDATE SKIP LOCKED);
    RETURN 1;
END $$;

-- Stamps the receipts of the caller's notes of these keys ("1,2,3"), while they are there;
-- a receipt keeps its first stamp.
CREATE OR REPLACE FUNCTION VIMO_SHOWN(notes TEXT) RETURNS BIGINT
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    WITH STAMPED AS (UPDATE RCPTS SET SHOWN = VIMO_NOW() WHERE ctid IN (SELECT R.ctid
        FROM RCPTS R JOIN MSGS M ON M.TKEY = R.TKEY AND M.SENDER = R.SENDER AND M.DT = R.DT
            AND M.RECIPIENT = R.RECIPIENT
        WHERE R.RECIPIENT = VIMO_ME() AND R.SHOWN IS NULL
            AND R.TKEY = ANY (CAST(string_to_array(notes, ',') AS BIGINT[]))
        FOR UPDATE OF R SKIP LOCKED) RETURNING 1)
    SELECT count(*) FROM STAMPED
$$;

-- The caller's newest 50 records of notes sent.
CREATE OR REPLACE FUNCTION VIMO_SENT()
    RETURNS TABLE(RECIPIENT CHAR(15), DT INT, MSG CHAR(250), SHOWN CHAR(20), DELETED CHAR(20),
        SENT CHAR(20), TKEY INT)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT AS $$
    SELECT R.RECIPIENT, R.DT, R.MSG, R.SHOWN, R.DELETED, R.SENT, R.TKEY FROM RCPTS R
    WHERE R.SENDER = VIMO_ME() ORDER BY R.SENT DESC, R.TKEY DESC LIMIT 50
$$;

-- Everybody may see who is there; each may add no name but their own.
CREATE OR REPLACE FUNCTION VIMO_USERS() RETURNS TABLE(RECIPIENT CHAR(15))
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT
    AS $$SELECT DISTINCT U.RECIPIENT FROM USRS U$$;
CREATE OR REPLACE FUNCTION VIMO_JOIN() RETURNS VOID
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO USRS (RECIPIENT) SELECT VIMO_ME()
    WHERE NOT EXISTS (SELECT FROM USRS U WHERE U.RECIPIENT = VIMO_ME())
$$;

-- The channel on which the trigger MSGS_WAKEUP announces the caller's notes, made at the
-- first ask: nobody else can learn it, so nobody else can listen there or wake the copy.
CREATE OR REPLACE FUNCTION VIMO_CHANNEL() RETURNS TEXT
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO VIMO_WAKEUPS (NAME, CHANNEL)
    VALUES (rtrim(VIMO_ME()), 'vimo_' || md5(gen_random_uuid()::text || gen_random_uuid()::text))
    ON CONFLICT (NAME) DO NOTHING;
    SELECT W.CHANNEL FROM VIMO_WAKEUPS W WHERE W.NAME = rtrim(VIMO_ME());
$$;

REVOKE ALL ON FUNCTION VIMO_ME(), VIMO_NOW(), VIMO_POST(TEXT, TEXT, BIGINT, BIGINT, TEXT),
    VIMO_NOTES(), VIMO_DELETE(BIGINT, TEXT), VIMO_SHOWN(TEXT), VIMO_SENT(), VIMO_USERS(),
    VIMO_JOIN(), VIMO_CHANNEL() FROM PUBLIC;
GRANT EXECUTE ON FUNCTION VIMO_POST(TEXT, TEXT, BIGINT, BIGINT, TEXT), VIMO_NOTES(),
    VIMO_DELETE(BIGINT, TEXT), VIMO_SHOWN(TEXT), VIMO_SENT(), VIMO_USERS(), VIMO_JOIN(),
    VIMO_CHANNEL() TO vimo_users;

-- No table for anybody but the owner: no row to read, lock, hold or plant, no index to count
-- through with EXPLAIN. The earlier mode's grants, key functions and policies go.
REVOKE ALL ON MSGS, USRS, RCPTS, VIMO_WAKEUPS, VIMO_POSTED FROM PUBLIC, vimo_users;
REVOKE ALL ON SEQUENCE VIMO_KEYS FROM PUBLIC, vimo_users;
DROP FUNCTION IF EXISTS VIMO_LARGEST_KEY(), VIMO_FREE_KEY();
DROP POLICY IF EXISTS MSGS_READ ON MSGS;
DROP POLICY IF EXISTS MSGS_POST ON MSGS;
DROP POLICY IF EXISTS MSGS_DELETE ON MSGS;
DROP POLICY IF EXISTS USRS_READ ON USRS;
DROP POLICY IF EXISTS USRS_ADD ON USRS;
DROP POLICY IF EXISTS RCPTS_READ ON RCPTS;
DROP POLICY IF EXISTS RCPTS_RECORD ON RCPTS;
DROP POLICY IF EXISTS RCPTS_STAMP ON RCPTS;
DROP POLICY IF EXISTS RCPTS_PRUNE ON RCPTS;
-- Row-level security stays on, with no policy: a grant given by mistake shows nobody a row,
-- and a copy learns from it that the store knows who it is.
ALTER TABLE MSGS ENABLE ROW LEVEL SECURITY;
ALTER TABLE USRS ENABLE ROW LEVEL SECURITY;
ALTER TABLE RCPTS ENABLE ROW LEVEL SECURITY;

-- Only the office's people may connect: anybody who may can notify any channel, and fill the
-- queue that every copy's wake-ups pass through. Only the database's owner may say so.
DO $$
BEGIN
    IF pg_has_role((SELECT datdba FROM pg_database WHERE datname = current_database()), 'MEMBER') THEN
        EXECUTE format('REVOKE CONNECT ON DATABASE %I FROM PUBLIC', current_database());
        EXECUTE format('GRANT CONNECT ON DATABASE %I TO vimo_users', current_database());
    ELSE
        RAISE WARNING 'only the owner of the database can keep others out: as that owner, run REVOKE CONNECT ON DATABASE % FROM PUBLIC; GRANT CONNECT ON DATABASE % TO vimo_users;',
            quote_ident(current_database()), quote_ident(current_database());
    END IF;
END $$;
-- presence and groups
-- Everybody sees who is in and every group; each writes only their own presence, and only a
-- group's members change it (anybody may make a group of a free name). Times are the
-- server's, in seconds since the epoch.
CREATE TABLE IF NOT EXISTS VIMO_PRESENCE(NAME CHAR(15) PRIMARY KEY, SEEN INT, STATE INT);
CREATE TABLE IF NOT EXISTS VIMO_GROUPS(GRP CHAR(15), MEMBER CHAR(15), PRIMARY KEY (GRP, MEMBER));

-- The caller is in (1), idle (2) or has quit (0).
CREATE OR REPLACE FUNCTION VIMO_HERE(state BIGINT) RETURNS VOID
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    INSERT INTO VIMO_PRESENCE (NAME, SEEN, STATE)
    VALUES (VIMO_ME(), CAST(EXTRACT(EPOCH FROM now()) AS INT),
        CASE WHEN state BETWEEN 0 AND 2 THEN state ELSE 1 END)
    ON CONFLICT (NAME) DO UPDATE SET SEEN = EXCLUDED.SEEN, STATE = EXCLUDED.STATE
$$;
-- The caller hides their presence.
CREATE OR REPLACE FUNCTION VIMO_HIDE() RETURNS VOID
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT
    AS $$DELETE FROM VIMO_PRESENCE P WHERE P.NAME = VIMO_ME()$$;
CREATE OR REPLACE FUNCTION VIMO_PRESENCE_LIST()
    RETURNS TABLE(NAME CHAR(15), SEEN INT, STATE INT, NOW INT)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT AS $$
    SELECT P.NAME, P.SEEN, P.STATE, CAST(EXTRACT(EPOCH FROM now()) AS INT) FROM VIMO_PRESENCE P
$$;
CREATE OR REPLACE FUNCTION VIMO_GROUP_LIST() RETURNS TABLE(GRP CHAR(15), MEMBER CHAR(15))
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT
    AS $$SELECT G.GRP, G.MEMBER FROM VIMO_GROUPS G$$;
-- Gives the group exactly these members ("ANN,BOB"); none removes it. A new group's name is
-- free: no user's, not ALL. An existing group changes only at the hand of one of its members.
CREATE OR REPLACE FUNCTION VIMO_GROUP_SET(team TEXT, people TEXT) RETURNS BIGINT
    LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    names TEXT[];
BEGIN
    team := rtrim(team);
    IF team IS NULL OR team = '' OR char_length(team) > 15 OR team <> upper(team)
        OR position(',' IN team) > 0 OR team = 'ALL' THEN
        RAISE EXCEPTION 'a group is named in capitals, at most 15 characters, and not ALL'
            USING ERRCODE = '22023';
    END IF;
    IF EXISTS (SELECT FROM USRS U WHERE U.RECIPIENT = CAST(team AS CHAR(15))) THEN
        RAISE EXCEPTION '% is a user''s name', team USING ERRCODE = '22023';
    END IF;
    -- Two changes of one group at once would mix their members.
    PERFORM pg_advisory_xact_lock(hashtext('vimo_group ' || team));
    IF EXISTS (SELECT FROM VIMO_GROUPS G WHERE G.GRP = CAST(team AS CHAR(15)))
        AND NOT EXISTS (SELECT FROM VIMO_GROUPS G WHERE G.GRP = CAST(team AS CHAR(15))
            AND G.MEMBER = me) THEN
        RAISE EXCEPTION 'only a member of % may change it', team USING ERRCODE = '42501';
    END IF;
    names := ARRAY(SELECT DISTINCT btrim(N) FROM unnest(string_to_array(COALESCE(people, ''), ',')) N
        WHERE btrim(N) <> '');
    IF EXISTS (SELECT FROM unnest(names) N WHERE char_length(N) > 15
        OR NOT EXISTS (SELECT FROM USRS U WHERE U.RECIPIENT = CAST(N AS CHAR(15)))) THEN
        RAISE EXCEPTION 'a group holds users only' USING ERRCODE = '22023';
    END IF;
    DELETE FROM VIMO_GROUPS G WHERE G.GRP = CAST(team AS CHAR(15));
    INSERT INTO VIMO_GROUPS (GRP, MEMBER) SELECT team, N FROM unnest(names) N;
    RETURN cardinality(names);
END $$;

REVOKE ALL ON FUNCTION VIMO_HERE(BIGINT), VIMO_HIDE(), VIMO_PRESENCE_LIST(), VIMO_GROUP_LIST(),
    VIMO_GROUP_SET(TEXT, TEXT) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION VIMO_HERE(BIGINT), VIMO_HIDE(), VIMO_PRESENCE_LIST(),
    VIMO_GROUP_LIST(), VIMO_GROUP_SET(TEXT, TEXT) TO vimo_users;
REVOKE ALL ON VIMO_PRESENCE, VIMO_GROUPS FROM PUBLIC, vimo_users;
ALTER TABLE VIMO_PRESENCE ENABLE ROW LEVEL SECURITY;
ALTER TABLE VIMO_GROUPS ENABLE ROW LEVEL SECURITY;

-- notes for later and deleted notes
-- A deleted note waits in VIMO_DELETED for 7 days to be brought back; a note for later waits
-- in VIMO_LATER for its time. Neither is readable by anybody but through these functions.
CREATE TABLE IF NOT EXISTS VIMO_DELETED(TKEY INT, SENDER CHAR(15) NULL, RECIPIENT CHAR(15) NULL,
    DT INT, URGENCY INT, MSG CHAR(250) NULL, GONE INT);
CREATE INDEX IF NOT EXISTS VIMO_DELETED_RECIPIENT ON VIMO_DELETED(RECIPIENT, GONE);
CREATE INDEX IF NOT EXISTS VIMO_DELETED_GONE ON VIMO_DELETED(GONE);
CREATE TABLE IF NOT EXISTS VIMO_LATER(ID INT, SENDER CHAR(15) NULL, RECIPIENT CHAR(15) NULL,
    DT INT, URGENCY INT, MSG CHAR(250) NULL, DUE INT, SENT CHAR(20) NULL);
CREATE UNIQUE INDEX IF NOT EXISTS VIMO_LATER_ID ON VIMO_LATER(ID);
CREATE INDEX IF NOT EXISTS VIMO_LATER_DUE ON VIMO_LATER(DUE);

CREATE OR REPLACE FUNCTION VIMO_EPOCH() RETURNS INT LANGUAGE sql STABLE
    AS $$SELECT CAST(EXTRACT(EPOCH FROM now()) AS INT)$$;

-- As above, but the note moves into VIMO_DELETED in the same transaction, and the notes
-- deleted more than 7 days ago go for good.
CREATE OR REPLACE FUNCTION VIMO_DELETE(note BIGINT, writer TEXT) RETURNS BIGINT
    LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    kept_row RECORD;
BEGIN
    WITH D AS (DELETE FROM MSGS M WHERE M.TKEY = note AND M.RECIPIENT = me
        AND COALESCE(rtrim(M.SENDER), '') = COALESCE(rtrim(writer), '')
        RETURNING M.TKEY, M.SENDER, M.RECIPIENT, M.DT, M.URGENCY, M.MSG)
    INSERT INTO VIMO_DELETED (TKEY, SENDER, RECIPIENT, DT, URGENCY, MSG, GONE)
        SELECT D.TKEY, D.SENDER, D.RECIPIENT, D.DT, D.URGENCY, D.MSG, VIMO_EPOCH() FROM D
        RETURNING VIMO_DELETED.SENDER, VIMO_DELETED.DT INTO kept_row;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    UPDATE RCPTS SET DELETED = VIMO_NOW() WHERE ctid IN (SELECT R.ctid FROM RCPTS R
        WHERE R.TKEY = note AND R.SENDER = kept_row.SENDER AND R.RECIPIENT = me AND R.DT = kept_row.DT
        AND R.DELETED IS NULL FOR UPDATE SKIP LOCKED);
    DELETE FROM VIMO_DELETED WHERE ctid IN (SELECT O.ctid FROM VIMO_DELETED O
        WHERE O.GONE < VIMO_EPOCH() - 604800 FOR UPDATE SKIP LOCKED);
    RETURN 1;
END $$;

-- The caller's notes deleted in the last 7 days.
CREATE OR REPLACE FUNCTION VIMO_DELETED_NOTES()
    RETURNS TABLE(TKEY INT, SENDER CHAR(15), DT INT, URGENCY INT, MSG CHAR(250), GONE INT)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT AS $$
    SELECT D.TKEY, D.SENDER, D.DT, D.URGENCY, D.MSG, D.GONE FROM VIMO_DELETED D
    WHERE D.RECIPIENT = VIMO_ME() AND D.GONE >= VIMO_EPOCH() - 604800
    ORDER BY D.GONE DESC, D.TKEY DESC LIMIT 100
$$;

-- Brings one of the caller's deleted notes back under a new key, as a post takes one, and
-- its receipt says "on screen" again; answers the key, 0 when it was gone.
CREATE OR REPLACE FUNCTION VIMO_RESTORE(note BIGINT, writer TEXT, day BIGINT, went BIGINT)
    RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    back RECORD;
    taken BIGINT;
BEGIN
    DELETE FROM VIMO_DELETED WHERE ctid = (SELECT D.ctid FROM VIMO_DELETED D
        WHERE D.TKEY = note AND D.RECIPIENT = me
        AND COALESCE(rtrim(D.SENDER), '') = COALESCE(rtrim(writer), '')
        AND COALESCE(D.DT, 0) = day AND D.GONE = went LIMIT 1 FOR UPDATE)
        RETURNING VIMO_DELETED.SENDER, VIMO_DELETED.DT, VIMO_DELETED.URGENCY, VIMO_DELETED.MSG
        INTO back;
    IF NOT FOUND THEN
        RETURN 0;
    END IF;
    LOOP
        taken := nextval('VIMO_KEYS');
        INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY)
            VALUES (back.MSG, me, back.SENDER, back.DT, back.URGENCY, taken)
            ON CONFLICT (TKEY) DO NOTHING;
        EXIT WHEN FOUND;
    END LOOP;
    UPDATE RCPTS SET TKEY = taken, DELETED = NULL WHERE ctid IN (SELECT R.ctid FROM RCPTS R
        WHERE R.TKEY = note AND R.SENDER = back.SENDER AND R.RECIPIENT = me AND R.DT = back.DT
        FOR UPDATE);
    RETURN taken;
END $$;

-- A note from the caller to a user in USRS that comes at the moment given (seconds since the epoch), as
-- VIMO_POST checks it; no more than 1000 of the caller's wait at once. The same note for the
-- same moment twice (its answer was lost) is kept once. Answers its ID.
CREATE OR REPLACE FUNCTION VIMO_POST_LATER(addressee TEXT, body TEXT, day BIGINT, level BIGINT,
    comes BIGINT) RETURNS BIGINT LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    kept BIGINT;
BEGIN
    addressee := rtrim(addressee);
    IF addressee IS NULL OR addressee = '' OR char_length(addressee) > 15 OR NOT EXISTS
        (SELECT FROM USRS U WHERE U.RECIPIENT = CAST(addressee AS CHAR(15))) THEN
        RAISE EXCEPTION 'no user is named %', addressee USING ERRCODE = '22023';
    END IF;
    IF level IS NULL OR level NOT BETWEEN 1 AND 3 OR day IS NULL OR body IS NULL
        OR comes IS NULL OR comes > 2147483647 THEN
        RAISE EXCEPTION 'a note needs a day, a text, an urgency of 1, 2 or 3 and a time'
            USING ERRCODE = '22023';
    END IF;
    IF char_length(rtrim(body)) > 250 THEN
        RAISE EXCEPTION 'a note holds at most 250 characters' USING ERRCODE = '22001';
    END IF;
    SELECT L.ID INTO kept FROM VIMO_LATER L WHERE L.SENDER = me AND L.RECIPIENT = addressee
        AND L.DUE = comes AND L.MSG = body;
    IF FOUND THEN
        RETURN kept;
    END IF;
    IF (SELECT count(*) FROM VIMO_LATER L WHERE L.SENDER = me) >= 1000 THEN
        RAISE EXCEPTION '% has 1000 notes waiting: no more until some have gone', rtrim(me)
            USING ERRCODE = '54000';
    END IF;
    LOOP
        kept := (SELECT COALESCE(MAX(L.ID), 0) + 1 FROM VIMO_LATER L);
        INSERT INTO VIMO_LATER (ID,SENDER,RECIPIENT,DT,URGENCY,MSG,DUE,SENT)
            VALUES (kept, me, addressee, day, level, body, comes,
                to_char(to_timestamp(comes) AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"'))
            ON CONFLICT (ID) DO NOTHING;
        EXIT WHEN FOUND;
    END LOOP;
    RETURN kept;
END $$;

-- Moves the notes due by now that the caller sends or receives into MSGS, each under a key
-- as a post takes one and with its receipt; one that another copy is moving is left to it.
-- Answers how many it moved.
CREATE OR REPLACE FUNCTION VIMO_MOVE_DUE() RETURNS BIGINT
    LANGUAGE plpgsql SECURITY DEFINER SET search_path FROM CURRENT AS $$
DECLARE
    me CHAR(15) := VIMO_ME();
    due_note RECORD;
    taken BIGINT;
    moved BIGINT := 0;
BEGIN
    FOR due_note IN DELETE FROM VIMO_LATER WHERE ctid IN (SELECT L.ctid FROM VIMO_LATER L
        WHERE (L.RECIPIENT = me OR L.SENDER = me) AND L.DUE <= VIMO_EPOCH()
        ORDER BY L.DUE, L.ID LIMIT 100 FOR UPDATE SKIP LOCKED)
        RETURNING VIMO_LATER.SENDER, VIMO_LATER.RECIPIENT, VIMO_LATER.DT, VIMO_LATER.URGENCY,
            VIMO_LATER.MSG, VIMO_LATER.SENT
    LOOP
        LOOP
            taken := nextval('VIMO_KEYS');
            INSERT INTO MSGS (MSG,RECIPIENT,SENDER,DT,URGENCY,TKEY)
                VALUES (due_note.MSG, due_note.RECIPIENT, due_note.SENDER, due_note.DT,
                    due_note.URGENCY, taken) ON CONFLICT (TKEY) DO NOTHING;
            EXIT WHEN FOUND;
        END LOOP;
        INSERT INTO RCPTS (TKEY,SENDER,RECIPIENT,DT,MSG,SENT)
            VALUES (taken, due_note.SENDER, due_note.RECIPIENT, due_note.DT, due_note.MSG,
                due_note.SENT);
        moved := moved + 1;
    END LOOP;
    RETURN moved;
END $$;

-- The caller's notes for later that still wait.
CREATE OR REPLACE FUNCTION VIMO_LATER_SENT()
    RETURNS TABLE(ID INT, RECIPIENT CHAR(15), DT INT, MSG CHAR(250), DUE INT)
    LANGUAGE sql STABLE SECURITY DEFINER SET search_path FROM CURRENT AS $$
    SELECT L.ID, L.RECIPIENT, L.DT, L.MSG, L.DUE FROM VIMO_LATER L WHERE L.SENDER = VIMO_ME()
    ORDER BY L.DUE, L.ID
$$;

-- Takes back one of the caller's notes for later; answers 0 when it has gone already.
CREATE OR REPLACE FUNCTION VIMO_TAKE_BACK(later BIGINT) RETURNS BIGINT
    LANGUAGE sql SECURITY DEFINER SET search_path FROM CURRENT AS $$
    WITH TAKEN AS (DELETE FROM VIMO_LATER L WHERE L.ID = later AND L.SENDER = VIMO_ME()
        RETURNING 1)
    SELECT count(*) FROM TAKEN
$$;

REVOKE ALL ON FUNCTION VIMO_EPOCH(), VIMO_DELETED_NOTES(),
    VIMO_RESTORE(BIGINT, TEXT, BIGINT, BIGINT),
    VIMO_POST_LATER(TEXT, TEXT, BIGINT, BIGINT, BIGINT), VIMO_MOVE_DUE(), VIMO_LATER_SENT(),
    VIMO_TAKE_BACK(BIGINT) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION VIMO_DELETED_NOTES(), VIMO_RESTORE(BIGINT, TEXT, BIGINT, BIGINT),
    VIMO_POST_LATER(TEXT, TEXT, BIGINT, BIGINT, BIGINT), VIMO_MOVE_DUE(), VIMO_LATER_SENT(),
    VIMO_TAKE_BACK(BIGINT) TO vimo_users;
REVOKE ALL ON VIMO_DELETED, VIMO_LATER FROM PUBLIC, vimo_users;
ALTER TABLE VIMO_DELETED ENABLE ROW LEVEL SECURITY;
ALTER TABLE VIMO_LATER ENABLE ROW LEVEL SECURITY;

COMMIT;
