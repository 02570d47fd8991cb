# -*- coding: utf-8 -*-
# The Ansible module of VantolyPatch: runs the program on the managed host
# and reads nothing but its --json report (docs/report.schema.json).

DOCUMENTATION = r"""
module: vantolypatch
short_description: Update, restore, import or look at a Vantoly database with VantolyPatch
description:
  - Runs VantolyPatch on the host and reads its --json report.
  - C(changed) only when the database changed (1.25 to 1.26, a restore, an import).
  - Check mode is supported; for I(state=updated) it runs C(update --dry-run) on a private copy.
options:
  state:
    description: What to bring the database to, or C(status) to look only.
    choices: [updated, restored, status, imported]
    default: status
  registry:
    description: The registry export naming the database (the program's --registry); default its own.
    type: path
  db:
    description: The database file (--db) instead of the registry's.
    type: path
  password_file:
    description: A file whose first line is the database password (--password-file); needs I(db).
    type: path
  backup:
    description:
      - yes, the update takes a backup of its own and refuses when one from an earlier run is in its way;
        no, a backup already there is accepted in its place (the program takes one when there is none).
    type: bool
    default: true
  source:
    description: state=imported, the genuine Access file to import into I(db); without it the database is converted in place.
    type: path
  report:
    description: Where on the host to keep the program's report of the run, exactly as printed (not in check mode).
    type: path
  executable:
    description: The program.
    type: path
    default: VantolyPatch
"""

EXAMPLES = r"""
- name: Bring the site's database to 1.26
  vantolypatch:
    state: updated
    password_file: /etc/vantoly/db-password
    db: /srv/vantoly/VantolyData.mdb
    report: /var/lib/vantolypatch/update.json
"""

RETURN = r"""
outcome: {description: the report's outcome, type: str, returned: always}
database: {description: the database file, type: str, returned: when the program named it}
version_before: {description: the version before the run, type: str, returned: when read}
version_after: {description: the version after the run, type: str, returned: when read}
statements: {description: the statements the update ran, or in check mode would run, type: list, returned: state=updated}
failing_statement: {description: the statement the update failed at, type: str, returned: on a failed update}
error: {description: the program's error text, type: str, returned: on failure}
error_log: {description: the DBErr log the failed update wrote, type: str, returned: on a failed update}
held_by: {description: the run holding the database's lock, type: dict, returned: when refused for it}
report: {description: the program's last report, type: dict, returned: always}
"""

import json
import os

from ansible.module_utils.basic import AnsibleModule

GENUINE_HEADERS = (b"Standard Jet DB", b"Standard ACE DB")


class Site:
    def __init__(self, module):
        self.module = module
        self.result = {"changed": False}
        self.report, self.raw = {}, None

    def run(self, *words, answer_yes=False):
        """The program's report of one command; the run fails when it printed none."""
        p = self.module.params
        command = [p["executable"]]
        if p["registry"]:
            command += ["--registry", p["registry"]]
        if p["db"]:
            command += ["--db", p["db"]]
        if p["password_file"]:
            command += ["--password-file", p["password_file"]]
        if answer_yes:
            command.append("--yes")
        command += ["--json"] + list(words)
        rc, out, err = self.module.run_command(command, environ_update={"QT_QPA_PLATFORM": "offscreen"})
        try:
            report = json.loads(out)
        except ValueError:
            self.fail(f"VantolyPatch gave no report (exit status {rc})", stderr=err)
        self.report, self.raw = report, out
        self.result.update(report=report, outcome=report.get("outcome"), rc=rc)
        for field, key in (("database", "database"), ("versionBefore", "version_before"),
                           ("versionAfter", "version_after"), ("error", "error")):
            if report.get(field) is not None:
                self.result[key] = report[field]
        if report.get("heldBy"):
            self.result["held_by"] = report["heldBy"]
            self.fail(report["error"])
        return report

    def keep_report(self):
        path = self.module.params["report"]
        if not path or self.module.check_mode:
            return
        folder = os.path.dirname(path)
        if folder:
            os.makedirs(folder, exist_ok=True)
        with open(path + ".new", "w", encoding="utf-8") as file:
            file.write(self.raw)
        os.replace(path + ".new", path)

    def fail(self, msg, **more):
        if self.raw is not None:
            self.keep_report()
        self.result.update(more)
        self.module.fail_json(msg=msg, **self.result)

    def done(self, msg, changed=False):
        self.keep_report()
        self.result["changed"] = changed
        self.module.exit_json(msg=msg, **self.result)

    def where(self):
        return self.report.get("database") or "the database"

    def status(self):
        report = self.run("status")
        if report["outcome"] == "failed":
            self.fail(f"{self.where()} cannot be opened: {report['error']}")
        return report

    def look(self):
        report = self.status()
        words = {"ready": "is at 1.25, ready for the update to 1.26",
                 "already-current": "is at 1.26 already",
                 "refused": f"is at version {report['versionBefore']}, which this update does not start from"}
        backup = " (a pre-update backup is there)" if report["backup"]["existed"] else ""
        self.done(f"{self.where()} {words[report['outcome']]}{backup}")

    def update(self):
        status = self.status()
        if status["outcome"] == "already-current":
            self.done(f"{self.where()} is at 1.26 already; nothing to do")
        if status["outcome"] != "ready":
            self.fail(f"{self.where()} is at version {status['versionBefore']}; the update starts only from 1.25")
        if self.module.params["backup"] and status["backup"]["existed"]:
            self.fail(f"a backup from an earlier run is in the way: {status['backup']['path']}; move it "
                      "away to have this update take its own, or set backup: no to keep that one")
        report = self.run("update", "--dry-run") if self.module.check_mode else self.run("update", answer_yes=True)
        statements = [step["statement"] for step in report["steps"] if "statement" in step]
        self.result["statements"] = statements
        would = "would be" if self.module.check_mode else "was"
        if report["outcome"] == "updated":
            self.done(f"{self.where()} {would} updated from 1.25 to 1.26 ({len(statements)} statements)", True)
        if report["outcome"] == "already-current":
            self.done(f"{self.where()} is at 1.26 already; nothing to do")
        self.result["failing_statement"] = report.get("failingStatement")
        if report.get("errorLog"):
            self.result["error_log"] = report["errorLog"]
        at = f" at: {report['failingStatement']}" if report.get("failingStatement") else ""
        log = f"; the error log is {report['errorLog']}" if report.get("errorLog") else ""
        self.fail(f"the update of {self.where()} {'would fail' if self.module.check_mode else 'failed'}{at}: "
                  f"{report.get('error')}{log}")

    def restore(self):
        if self.module.check_mode:
            status = self.status()
            if status["backup"]["existed"]:
                self.done(f"{self.where()} would be put back from {status['backup']['path']}", True)
            self.done(f"there is no backup of {self.where()} to put back")
        report = self.run("restore", answer_yes=True)
        if report["outcome"] == "restored":
            kept = ", ".join(f"{r['from']} is kept as {r['to']}" for r in report["renamed"])
            self.result["renamed"] = report["renamed"]
            self.done(f"{self.where()} was put back from its backup ({kept})", True)
        if report["outcome"] == "refused" and not report["backup"]["existed"]:
            self.done(f"there is no backup of {self.where()} to put back")
        self.fail(f"the restore of {self.where()} {report['outcome']}: {report.get('error')}")

    def import_(self):
        p = self.module.params
        if p["source"] and not p["db"]:
            self.fail("state=imported with a source needs db, the database to make")
        target = p["db"]
        if self.module.check_mode:
            if p["source"]:
                self.done(f"{target} exists already" if os.path.exists(target) else
                          f"{p['source']} would be imported into {target}", not os.path.exists(target))
            genuine = False
            if target and os.path.exists(target):
                with open(target, "rb") as file:
                    genuine = any(h in file.read(64) for h in GENUINE_HEADERS)
            self.done(f"{target} would be converted in place" if genuine else
                      f"{target or 'the database'} needs no conversion", genuine)
        if p["source"]:
            if os.path.exists(target):
                self.done(f"{target} exists already; nothing imported")
            report = self.run("import", p["source"], target)
        else:
            report = self.run("import", answer_yes=True)
        if report["outcome"] in ("imported", "incomplete"):
            left = report.get("leftOut") or []
            if left:
                self.result["left_out"] = left
                self.module.warn(f"{len(left)} things could not be brought over; see left_out")
            self.done(f"{report['database']} was imported ({len(report.get('tables', []))} tables, "
                      f"{report.get('rows', 0):.0f} rows)", True)
        if report["outcome"] == "refused" and not p["source"]:
            self.done(f"{self.where()} needs no conversion: {report.get('error')}")
        self.fail(f"the import into {self.where()} {report['outcome']}: {report.get('error')}")


def main():
    module = AnsibleModule(
        argument_spec=dict(
            state=dict(type="str", default="status", choices=["updated", "restored", "status", "imported"]),
            registry=dict(type="path"),
            db=dict(type="path"),
            password_file=dict(type="path", no_log=True),
            backup=dict(type="bool", default=True),
            source=dict(type="path"),
            report=dict(type="path"),
            executable=dict(type="path", default="VantolyPatch"),
        ),
        mutually_exclusive=[["registry", "db"]],
        required_by={"password_file": "db"},
        supports_check_mode=True,
    )
    site = Site(module)
    {"status": site.look, "updated": site.update, "restored": site.restore,
     "imported": site.import_}[module.params["state"]]()


if __name__ == "__main__":
    main()
