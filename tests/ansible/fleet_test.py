#!/usr/bin/python3
"""The Ansible module and role on a fleet of four local sites, through
ansible-playbook: two databases at 1.25, one at 1.26 already, one whose
update fails at its version stamp. Check mode changes no byte and predicts
the sites that then change; the real run updates the two, leaves the third
ok and fails the fourth with its failing statement while the others finish;
a second run changes nothing; the restore play brings the sites back and
keeps their updated files; every report fetched to the controller matches
the reports' schema.

Usage: fleet_test.py PROGRAM SOURCE_DIR
"""
import hashlib
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

PROGRAM, SOURCE = sys.argv[1], pathlib.Path(sys.argv[2])
PLAYBOOK = SOURCE / "packaging/ansible/vantolypatch-update.yml"
SITES = ["site-a", "site-b", "site-current", "site-broken"]
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def program(*arguments):
    return subprocess.run([PROGRAM, *arguments], capture_output=True, text=True,
                          env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))


def version(db):
    return json.loads(program("--db", db, "--json", "status").stdout)["versionBefore"]


def digest(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


with tempfile.TemporaryDirectory(prefix="vantoly-fleet-") as top:
    top = pathlib.Path(top)
    reports = top / "controller-reports"
    databases = {}
    for site in SITES:
        folder = top / site
        folder.mkdir()
        db = str(folder / "VantolyData.mdb")
        databases[site] = db
        made = program("--db", db, "query", "--create", "-f", str(SOURCE / "samples/host-1.25.sql"))
        assert made.returncode == 0, made.stderr
    assert program("--db", databases["site-current"], "--yes", "update").returncode == 0
    # Updated long ago: its backup has been cleared away since.
    shutil.rmtree(top / "site-current" / "データベース更新前データ")
    # A row the version stamp would add, there already: the update fails at its last block.
    broken = subprocess.run(
        [PROGRAM, "--db", databases["site-broken"], "query"],
        input="INSERT INTO t_db_ver (DBVerID,DBVerCode) VALUES (26,1.25);\n",
        capture_output=True, text=True)
    assert broken.returncode == 0, broken.stderr

    inventory = {"vantoly_sites": {"hosts": {site: {
        "ansible_connection": "local",
        "ansible_python_interpreter": "/usr/bin/python3",
        "vantolypatch_db": databases[site],
        "vantolypatch_executable": PROGRAM,
        "vantolypatch_host_report_dir": str(top / site / "reports"),
        "vantolypatch_reports_dir": str(reports),
    } for site in SITES}}}
    (top / "sites.json").write_text(json.dumps(inventory))
    environment = dict(os.environ, ANSIBLE_HOME=str(top / "ansible-home"),
                       ANSIBLE_LOCAL_TEMP=str(top / "ansible-tmp"), ANSIBLE_REMOTE_TEMP=str(top / "ansible-tmp"),
                       ANSIBLE_NOCOLOR="1", ANSIBLE_FORKS="4", ANSIBLE_RETRY_FILES_ENABLED="0",
                       ANSIBLE_HOST_KEY_CHECKING="0", ANSIBLE_LOCALHOST_WARNING="0",
                       ANSIBLE_INVENTORY_UNPARSED_WARNING="0", QT_QPA_PLATFORM="offscreen")

    def playbook(*options):
        """The summary of one run, by site."""
        run = subprocess.run(["ansible-playbook", "-i", str(top / "sites.json"), str(PLAYBOOK),
                              "-e", "vantolypatch_serial=2", *options],
                             capture_output=True, text=True, env=environment)
        print(run.stdout[-6000:])
        if run.stderr:
            print(run.stderr[-3000:], file=sys.stderr)
        summary = json.loads((reports / "summary.json").read_text())
        (reports / "summary.json").unlink()
        return run.returncode, summary

    def changed(summary):
        return {site for site, r in summary.items() if r["changed"]}

    before = {site: digest(db) for site, db in databases.items()}
    status, predicted = playbook("--check")
    expect({site: digest(db) for site, db in databases.items()} == before, "check mode changed a database")
    expect(changed(predicted) == {"site-a", "site-b"}, f"check mode predicts {changed(predicted)}")
    expect(predicted["site-a"]["statements"] > 0, "check mode names the statements it would run")
    expect(predicted["site-broken"]["failed"], "check mode predicts the broken site's failure")
    expect(not reports.exists() or not list(reports.glob("*-update.json")), "check mode fetched a report")

    status, first = playbook()
    expect(status == 2, f"ansible-playbook exits {status} with a failed site")
    expect(changed(first) == changed(predicted), f"the run changed {changed(first)}, predicted {changed(predicted)}")
    for site in ("site-a", "site-b"):
        expect(first[site]["outcome"] == "updated" and version(databases[site]) == "1.26", f"{site} updated")
    expect(not first["site-current"]["changed"] and not first["site-current"]["failed"]
           and first["site-current"]["outcome"] == "already-current", "the current site stays ok")
    wrong = first["site-broken"]
    expect(wrong["failed"] and (wrong["failingStatement"] or "").startswith("INSERT INTO t_db_ver"),
           f"the broken site fails with its statement: {wrong}")
    expect(wrong["errorLog"] and pathlib.Path(wrong["errorLog"]).is_file(), "the error log is named")
    expect(version(databases["site-broken"]) == "1.25", "the broken site stays at 1.25")
    fetched = sorted(reports.glob("*-update.json"))
    expect([p.name for p in fetched] == sorted(f"{s}-update.json" for s in SITES),
           f"every site's report fetched: {[p.name for p in fetched]}")

    after_first = {site: digest(db) for site, db in databases.items()}
    status, second = playbook()
    expect(changed(second) == set(), f"a second run changed {changed(second)}")
    expect({site: digest(db) for site, db in databases.items()} == after_first, "a second run changed bytes")

    status, restored = playbook("--tags", "restore")
    for site in ("site-a", "site-b"):
        expect(restored[site]["changed"] and version(databases[site]) == "1.25", f"{site} restored")
        report = json.loads((reports / f"{site}-restore.json").read_text())
        expect((top / site / "reports" / f"{site}-restore.json").is_file(), f"{site} keeps its report")
        kept = [r["to"] for r in report["renamed"] if r["from"] == databases[site]]
        expect(len(kept) == 1 and version(kept[0]) == "1.26", f"{site} keeps its updated file: {kept}")
    expect(not restored["site-current"]["changed"], "the site without a backup is left as it is")

    checked = subprocess.run(["/usr/bin/python3", str(SOURCE / "tests/support/check_reports.py"),
                              str(SOURCE / "docs/report.schema.json"), str(reports)],
                             capture_output=True, text=True)
    print(checked.stdout, checked.stderr)
    expect(checked.returncode == 0, "the controller's reports match the schema")

print("fleet test:", "FAILED " + "; ".join(failures) if failures else "passed")
sys.exit(1 if failures else 0)
