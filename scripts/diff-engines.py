#!/usr/bin/env python3
"""Runs small random imports and IUF updates on both engines and compares what they tell.

    python3 scripts/diff-engines.py --pg postgresql://postgres@127.0.0.1:PORT/postgres [--runs 50]
        [--seed 1] [--build build] [--keep /tmp/diverged]

Each run writes a random club.txt, licence.txt and IUF file (a few clubs and licence numbers that
repeat, selection entries, relay licences, short lines), sometimes as a preview, and picks a few
faults (a dropped reference table, triggers that refuse a row or undo the whole transaction, rows
already stored). The same
files go through `quorvel` once on a new file database and once on a new PostgreSQL database;
the exit status, the TraceLog, the report and the rows must be the same. A run that differs is
kept under --keep (its inputs, both setups and both outputs) and the script exits 1.
Under `bash scripts/pg-cluster.sh run python3 scripts/diff-engines.py` the URI is taken from
QUORVEL_TEST_PG_URI.
"""
import argparse, os, random, shutil, subprocess, sys, tempfile

CLUBS = ["FRA4080380012", "FRA5110750001", "FRA1010350007", "FRA5110750012", "FRA3070340004",
         "FRA5110000000", "ZZZ0000000001", "FRAX080380012", "FRA4", "FRA9990750001", "fra4080380012"]
NAMES = ["Rennes", "Un autre nom", "Null", "", "Sète", "O'Brien club"]
SURNAMES = ["DUPONT", "Martin", "BOOM", "O'Neil", "Hélène", ""]
# (file engine, server) twins: each sets up one fault or one state of the database.
FAULTS = [
    ("DROP TABLE Region;",) * 2,
    ("DROP TABLE Selection;",) * 2,
    ("DROP TABLE Departement;",) * 2,
    ("DROP TABLE Pays;",) * 2,
    ("UPDATE Region SET CodeInter = 9 WHERE Code = '08';",) * 2,
    ("CREATE TRIGGER f BEFORE INSERT ON Licence WHEN NEW.Nom = 'BOOM' BEGIN SELECT RAISE(ABORT, 'refus'); END;",
     "CREATE FUNCTION f() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'refus'; END $$;"
     "CREATE TRIGGER f BEFORE INSERT ON Licence FOR EACH ROW WHEN (NEW.Nom = 'BOOM') EXECUTE FUNCTION f();"),
    ("CREATE TRIGGER g BEFORE INSERT ON Licence WHEN substr(NEW.licence, 6, 1) = '7' BEGIN SELECT RAISE(ROLLBACK, 'plein'); END;",
     "CREATE FUNCTION g() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'plein'; END $$;"
     "CREATE TRIGGER g BEFORE INSERT ON Licence FOR EACH ROW WHEN (substr(NEW.licence, 6, 1) = '7') EXECUTE FUNCTION g();"),
    ("CREATE TRIGGER h BEFORE INSERT ON Selection BEGIN SELECT RAISE(ABORT, 'close'); END;",
     "CREATE FUNCTION h() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'close'; END $$;"
     "CREATE TRIGGER h BEFORE INSERT ON Selection FOR EACH ROW EXECUTE FUNCTION h();"),
    ("CREATE TRIGGER k BEFORE INSERT ON Club WHEN substr(NEW.Code_federal, 1, 4) = 'FRA5' BEGIN SELECT RAISE(ABORT, 'non'); END;",
     "CREATE FUNCTION k() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'non'; END $$;"
     "CREATE TRIGGER k BEFORE INSERT ON Club FOR EACH ROW WHEN (substr(NEW.Code_federal, 1, 4) = 'FRA5') EXECUTE FUNCTION k();"),
    ("CREATE TRIGGER u BEFORE UPDATE ON Licence WHEN substr(NEW.Code_unique, 1, 1) = 'X' BEGIN SELECT RAISE(ROLLBACK, 'non'); END;",
     "CREATE FUNCTION u() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'non'; END $$;"
     "CREATE TRIGGER u BEFORE UPDATE ON Licence FOR EACH ROW WHEN (substr(NEW.Code_unique, 1, 1) = 'X') EXECUTE FUNCTION u();"),
    ("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA5110750001', 'Null', 0);",) * 2,
    ("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA1010350007', 'Ancien', 0);",) * 2,
    ("DROP TABLE Inter_Region;",) * 2,
    ("CREATE TRIGGER c BEFORE UPDATE ON Club BEGIN SELECT RAISE(ABORT, 'non'); END;",
     "CREATE FUNCTION c() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'non'; END $$;"
     "CREATE TRIGGER c BEFORE UPDATE ON Club FOR EACH ROW EXECUTE FUNCTION c();"),
    ("CREATE TRIGGER r BEFORE INSERT ON Club WHEN substr(NEW.Code_federal, 1, 4) = 'FRA3' BEGIN SELECT RAISE(ROLLBACK, 'plein'); END;",
     "CREATE FUNCTION r() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'plein'; END $$;"
     "CREATE TRIGGER r BEFORE INSERT ON Club FOR EACH ROW WHEN (substr(NEW.Code_federal, 1, 4) = 'FRA3') EXECUTE FUNCTION r();"),
    ("INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA4080380012', '851231', 'AUTRE', 'Nom');",) * 2,
]
DUMP = ["SELECT Num, Code_federal, Intitule, Selection FROM Club ORDER BY Num",
        "SELECT Num, Code_club, licence, Nom, Prenom, Date_Naissance, Code_unique FROM Licence ORDER BY Num",
        "SELECT Num, Code_Sel, Num_Lic FROM Selection ORDER BY Num"]


def fixed(text, width):
    return text[:width].ljust(width)


def licence_line(rng):
    club = rng.choice(CLUBS)
    number = rng.choice(["85123", "85123", "09150", "R0123", "r9999", "12345", "85ab1", "85AB1"]) + str(rng.randrange(8))
    origin = ""
    if club.endswith("0000") and rng.random() < 0.8:
        origin = fixed(rng.choice(CLUBS[:5] + [""]), 13) + fixed(rng.choice(["851231", "851232", ""]), 6)
    line = (fixed(club, 13) + number + fixed(rng.choice(SURNAMES), 25) + fixed("Jean", 20) + "M" +
            "01011985" + "FRA" + fixed("1 rue de la Paix", 60) + fixed("75001", 7) + fixed("PARIS", 26) +
            fixed("0102030405", 14) + "OOOOOO" + "0109202515092025" + "CN" + fixed(origin, 19) +
            fixed("1234567", 22))
    return line[:rng.choice([248] * 9 + [40, 100])]


def iuf_line(rng):
    club = rng.choice(CLUBS[:5] + ["FRA9990750001"])[4:]
    code = rng.choice(["IUF", "XBAD", "CODE"]) + str(rng.randrange(100))
    return fixed(club, 9) + "85123" + str(rng.randrange(8)) + fixed(code, 30)


def write(path, lines):
    with open(path, "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode("cp850", "replace"))


def generate(rng, folder):
    src = os.path.join(folder, "source")
    os.makedirs(src)
    write(os.path.join(src, "club.txt"),
          [fixed(rng.choice(CLUBS), 13) + fixed(rng.choice(NAMES), 30) for _ in range(rng.randrange(6))])
    write(os.path.join(src, "licence.txt"), [licence_line(rng) for _ in range(rng.randrange(1, 25))])
    iuf = os.path.join(folder, "iuf")
    os.makedirs(iuf)
    write(os.path.join(iuf, "a.iuf"), [iuf_line(rng) for _ in range(rng.randrange(1, 12))])
    faults = rng.sample(FAULTS, rng.randrange(3))
    club = rng.choice([None, None, "FRA4080380012", "FRA5110750001"])
    preview = rng.random() < 0.2
    for name, i in (("setup.sql", 0), ("setup.pg.sql", 1)):
        with open(os.path.join(folder, name), "w") as f:
            f.write("\n".join(fault[i] for fault in faults) + "\n")
    return club, preview


def run(cmd, **kw):
    # A run that hangs (a lock never given back) is a difference too.
    try:
        return subprocess.run(cmd, capture_output=True, timeout=120, **kw)
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(cmd, "timeout", b"", b"timeout")


def dump_file(db):
    out = []
    for sql in DUMP:
        r = run(["sqlcipher", "-list", "-separator", "|", db],
                input=f"PRAGMA key='quenoril';\n{sql};\n".encode())
        out.append(r.stdout.decode().replace("ok\n", "", 1) + (r.stderr.decode() and "(failed)\n"))
    return "".join(out)


def dump_server(uri):
    out = []
    for sql in DUMP:
        r = run(["psql", "-X", "-q", "-At", "-F", "|", uri, "-c", sql])
        out.append(r.stdout.decode() + (r.stderr.decode() and "(failed)\n"))
    return "".join(out)


def one_engine(quorvel, folder, side, db, club, preview, dump):
    base = os.path.join(folder, side)
    os.makedirs(base)
    outcome = []
    for step in ("import", "iuf"):
        trace, report = os.path.join(base, step + ".log"), os.path.join(base, step + ".json")
        common = ["--db", db, "--trace", trace, "--report", report, "--today", "2026-06-15", "--quiet"]
        if step == "import":
            cmd = [quorvel, "import-licences", "--source", os.path.join(folder, "source"),
                   "--work", os.path.join(base, "work")] + common + (["--dry-run"] if preview else [])
        else:
            cmd = [quorvel, "update-iuf", "--source", os.path.join(folder, "iuf")] + common
            cmd += ["--club", club] if club else []
        r = run(cmd)
        text = f"== {step} exit {r.returncode}\n"
        for path in (trace, report):
            if os.path.exists(path):
                text += open(path, "rb").read().decode("cp1252", "replace")
        outcome.append(text.replace(base, "$SIDE").replace(db, "$DB"))
    return "".join(outcome) + "== rows\n" + dump()


def compare(args, index):
    rng = random.Random(args.seed * 100003 + index)
    folder = tempfile.mkdtemp(prefix="quorvel-diff-")
    club, preview = generate(rng, folder)
    quorvel = os.path.join(args.build, "cli", "quorvel")
    db = os.path.join(folder, "club.db")
    run([quorvel, "init-db", db], check=True)
    run(["sqlcipher", db], input=b"PRAGMA key='quenoril';\n" + open(os.path.join(folder, "setup.sql"), "rb").read())
    name = f"quorvel_diff_{os.getpid()}_{index}"
    uri = args.pg.rsplit("/", 1)[0] + "/" + name
    run(["psql", "-X", "-q", args.pg, "-c", f"DROP DATABASE IF EXISTS {name}", "-c", f"CREATE DATABASE {name}"])
    run([quorvel, "init-db", uri], check=True)
    run(["psql", "-X", "-q", uri, "-f", os.path.join(folder, "setup.pg.sql")])
    a = one_engine(quorvel, folder, "file", db, club, preview, lambda: dump_file(db))
    b = one_engine(quorvel, folder, "server", uri, club, preview, lambda: dump_server(uri))
    run(["psql", "-X", "-q", args.pg, "-c", f"DROP DATABASE {name}"])
    if a == b:
        shutil.rmtree(folder)
        return True
    kept = os.path.join(args.keep, f"run-{args.seed}-{index}")
    shutil.rmtree(kept, ignore_errors=True)
    shutil.move(folder, kept)
    open(os.path.join(kept, "file.txt"), "w").write(a)
    open(os.path.join(kept, "server.txt"), "w").write(b)
    print(f"run {index}: the engines differ, see {kept}/file.txt and server.txt", flush=True)
    return False


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--pg", default=os.environ.get("QUORVEL_TEST_PG_URI"))
    p.add_argument("--runs", type=int, default=50)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--build", default="build")
    p.add_argument("--keep", default=os.path.join(tempfile.gettempdir(), "quorvel-diverged"))
    args = p.parse_args()
    if not args.pg:
        sys.exit("diff-engines: no server (--pg URI or QUORVEL_TEST_PG_URI)")
    os.makedirs(args.keep, exist_ok=True)
    same = sum(compare(args, i) for i in range(args.runs))
    print(f"{same} of {args.runs} runs alike on both engines")
    sys.exit(0 if same == args.runs else 1)


if __name__ == "__main__":
    main()
