-- Proven senders and private notes. Every person connects as a database role named after
-- them (in capitals, as Vimo writes names) and a member of vimo_users; the policies below let
-- each see and touch only their own rows. Run it as the owner of the tables, after
-- postgresql-schema.sql; run again, it changes nothing. The owner and superusers stay
-- outside the policies: no copy should connect as either.
DO $$
BEGIN
    IF to_regclass('msgs') IS NULL OR to_regclass('usrs') IS NULL OR to_regclass('rcpts') IS NULL
        OR to_regclass('msgs_tkey') IS NULL THEN
        RAISE EXCEPTION 'MSGS, USRS, RCPTS or the index MSGS_TKEY is missing: run postgresql-schema.sql first';
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vimo_users') THEN
        CREATE ROLE vimo_users NOLOGIN;
    END IF;
END $$;

-- A copy sees only its own notes, yet a new key must be free among all of them: these two
-- read every row on the caller's behalf and tell nothing but a number.
CREATE OR REPLACE FUNCTION VIMO_LARGEST_KEY() RETURNS INT LANGUAGE sql STABLE SECURITY DEFINER
    AS 'SELECT MAX(TKEY) FROM MSGS';
CREATE OR REPLACE FUNCTION VIMO_FREE_KEY() RETURNS BIGINT LANGUAGE sql STABLE SECURITY DEFINER
    AS 'SELECT MIN(K.TKEY)+1 FROM MSGS K WHERE K.TKEY>=0 AND K.TKEY<2147483647
        AND NOT EXISTS(SELECT N.TKEY FROM MSGS N WHERE N.TKEY=CAST(K.TKEY AS BIGINT)+1)';
-- They run with the owner's rights: names in them resolve in the tables' schema only, never
-- in one the caller controls.
DO $$
DECLARE
    home text := (SELECT quote_ident(nspname) FROM pg_namespace
                  WHERE oid = (SELECT relnamespace FROM pg_class WHERE oid = to_regclass('msgs')));
BEGIN
    EXECUTE format('ALTER FUNCTION VIMO_LARGEST_KEY() SET search_path = %s, pg_temp', home);
    EXECUTE format('ALTER FUNCTION VIMO_FREE_KEY() SET search_path = %s, pg_temp', home);
END $$;
REVOKE ALL ON FUNCTION VIMO_LARGEST_KEY(), VIMO_FREE_KEY() FROM PUBLIC;
GRANT EXECUTE ON FUNCTION VIMO_LARGEST_KEY(), VIMO_FREE_KEY() TO vimo_users;

REVOKE ALL ON MSGS, USRS, RCPTS FROM PUBLIC;
GRANT SELECT, INSERT, DELETE ON MSGS TO vimo_users;
GRANT SELECT, INSERT ON USRS TO vimo_users;
GRANT SELECT, INSERT, DELETE ON RCPTS TO vimo_users;
GRANT UPDATE (SHOWN, DELETED) ON RCPTS TO vimo_users;

ALTER TABLE MSGS ENABLE ROW LEVEL SECURITY;
ALTER TABLE USRS ENABLE ROW LEVEL SECURITY;
ALTER TABLE RCPTS ENABLE ROW LEVEL SECURITY;

-- Names are CHAR(15): compared without their padding.
-- A note is read by its recipient, and by its sender, whose copy looks for a post whose answer
-- was lost; it is deleted by its recipient alone, and written only under the writer's name.
DROP POLICY IF EXISTS MSGS_READ ON MSGS;
CREATE POLICY MSGS_READ ON MSGS FOR SELECT
    USING (rtrim(RECIPIENT) = current_user::text OR rtrim(SENDER) = current_user::text);
DROP POLICY IF EXISTS MSGS_POST ON MSGS;
CREATE POLICY MSGS_POST ON MSGS FOR INSERT WITH CHECK (rtrim(SENDER) = current_user::text);
DROP POLICY IF EXISTS MSGS_DELETE ON MSGS;
CREATE POLICY MSGS_DELETE ON MSGS FOR DELETE USING (rtrim(RECIPIENT) = current_user::text);

-- Everybody may see who is there; nobody may sign anybody else up.
DROP POLICY IF EXISTS USRS_READ ON USRS;
CREATE POLICY USRS_READ ON USRS FOR SELECT USING (true);
DROP POLICY IF EXISTS USRS_ADD ON USRS;
CREATE POLICY USRS_ADD ON USRS FOR INSERT WITH CHECK (rtrim(RECIPIENT) = current_user::text);

-- A receipt is its sender's record; the recipient, who has the note anyway, sees it too, as
-- stamping it needs, and may set only its SHOWN and DELETED stamps (the column grant above).
DROP POLICY IF EXISTS RCPTS_READ ON RCPTS;
CREATE POLICY RCPTS_READ ON RCPTS FOR SELECT
    USING (rtrim(SENDER) = current_user::text OR rtrim(RECIPIENT) = current_user::text);
DROP POLICY IF EXISTS RCPTS_RECORD ON RCPTS;
CREATE POLICY RCPTS_RECORD ON RCPTS FOR INSERT WITH CHECK (rtrim(SENDER) = current_user::text);
DROP POLICY IF EXISTS RCPTS_STAMP ON RCPTS;
CREATE POLICY RCPTS_STAMP ON RCPTS FOR UPDATE
    USING (rtrim(RECIPIENT) = current_user::text) WITH CHECK (rtrim(RECIPIENT) = current_user::text);
DROP POLICY IF EXISTS RCPTS_PRUNE ON RCPTS;
CREATE POLICY RCPTS_PRUNE ON RCPTS FOR DELETE USING (rtrim(SENDER) = current_user::text);
