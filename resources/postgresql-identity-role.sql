-- The group of the identity mode's people, made once for the whole server by a superuser (or
-- an administrator's role with CREATEROLE), so that the tables' owner, who runs
-- postgresql-identity.sql, needs no such right. Run again, it says so and changes nothing.
DO $$
BEGIN
    IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vimo_users') THEN
        RAISE NOTICE 'the role vimo_users is there already: nothing to do';
    ELSE
        CREATE ROLE vimo_users NOLOGIN;
    END IF;
END $$;
