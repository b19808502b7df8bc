"""The two links of each copy (the store's through psqlODBC, the wake-up's through libpq) as an
office secures them, for the two colleagues' runs: TLS verified against the office's root
certificate with channel binding, or Kerberos tickets with GSSAPI encryption and no password
anywhere. Each says what the data source holds, readies a workstation, and reads from the
server's own views how every link of a copy came in."""

import os
import subprocess
import time

from harness.desktop import StepFailure, wait_for

LISTENER = "vimo wakeup"


class TlsLinks:
    what = "TLS with a verified certificate and channel binding"
    host = "localhost"
    passwords = True

    def __init__(self, folder):
        self.ca = os.path.join(folder, "ca.crt")
        # A root of the same name that signed nothing of this server's.
        self.other_ca = os.path.join(folder, "other-ca.crt")

    def keys(self, role, ca=None):
        """Who signs in and how the server proves itself, as the data source says it."""
        return (f"Username={role}\nSSLmode=verify-full\n"
                f"pqopt=sslrootcert={ca or self.ca} channel_binding=require\n")

    def ready(self, station, role):
        pass

    def links(self, store, role):
        """How each of the role's connections came in: (application, TLS)."""
        return [(r[0], r[1] == "t") for r in store._psql(store.database, f"""
            SELECT a.application_name, s.ssl FROM pg_stat_activity a JOIN pg_stat_ssl s
            USING (pid) WHERE a.datname = current_database() AND a.usename = '{role}'""")]


class KerberosLinks:
    what = "Kerberos tickets, GSSAPI-encrypted"
    host = "localhost"
    passwords = False
    realm = "VIMO.TEST"

    def __init__(self, folder):
        self.folder = folder

    def keys(self, role):
        # BOB's data source names no user: libpq's default (PGUSER) is his role.
        return ("" if role == "BOB" else f"Username={role}\n") + "pqopt=gssencmode=require\n"

    def ready(self, station, role):
        """Signs the colleague in to the realm, as their desktop login would."""
        cache = os.path.join(station.root, "krb5cc")
        station.environment.update(KRB5_CONFIG=os.path.join(self.folder, "krb5.conf"),
                                   KRB5CCNAME=f"FILE:{cache}")
        if role == "BOB":
            station.environment["PGUSER"] = role
        principal = f"{role.lower()}@{self.realm}"
        result = subprocess.run(
            ["kinit", "-k", "-t", os.path.join(self.folder, f"{role.lower()}.keytab"), principal],
            env=station.environment, capture_output=True, text=True)
        if result.returncode != 0:
            raise StepFailure(f"kinit {principal}: {result.stderr.strip()}")

    def links(self, store, role):
        """How each of the role's connections came in: (application, by the role's ticket and
        encrypted)."""
        principal = f"{role.lower()}@{self.realm}"
        return [(r[0], r[1:] == ["t", principal, "t"]) for r in store._psql(store.database, f"""
            SELECT a.application_name, g.gss_authenticated, g.principal, g.encrypted
            FROM pg_stat_activity a JOIN pg_stat_gssapi g USING (pid)
            WHERE a.datname = current_database() AND a.usename = '{role}'""")]


def check_links(links, store, roles, timeout):
    """Waits until each role holds its two links, the store's and the wake-up's, each secured
    as links says; fails naming what came in otherwise."""
    seen = {}

    def secured():
        seen.update({role: links.links(store, role) for role in roles})
        return all(len(found) == 2 and sum(app == LISTENER for app, _ in found) == 1
                   and all(ok for _, ok in found) for found in seen.values())
    wait_for(secured, timeout, lambda: f"two links each secured by {links.what}: {seen}")


def refused_for_another_root(links, store, station, timeout, shot=None):
    """Starts the copy with a data source that trusts another root: the start says at once, in
    plain words, that the server did not prove itself, and Quit ends it. Returns the seconds
    until the box showed."""
    role = station.name.upper()
    with open(station.odbc_ini, "w") as odbc_ini:
        odbc_ini.write(store.data_source(role, links.host, links.keys(role, ca=links.other_ca)))
    station.environment["QT_LOGGING_RULES"] = "vimo.alert.info=true"
    started = time.monotonic()
    station.start()
    box = station.new_window(set(), "the box that says the server did not prove itself", timeout,
                             where=lambda w: w.title == "VIMO!!")
    shown = time.monotonic() - started
    with open(station.log_path, errors="replace") as log:
        said = log.read()
    for words in ("could not prove that it is the office's server", "certificate verify failed"):
        if words not in said:
            raise StepFailure(f"the box should say {words!r}; the program said:\n{said[-800:]}")
    station.wait_focused(box)
    if shot:
        shot()
    station.desktop.key("Escape")
    station.wait_until_ended(timeout)
    return shown
