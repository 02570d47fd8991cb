#!/usr/bin/env python3
"""Checks --json reports against docs/report.schema.json.

Usage: check_reports.py SCHEMA REPORT...   (a REPORT may be a folder of *.json)

Each report must be one JSON object on one line that matches the schema's
definition for its command and outcome; a field the schema does not name
fails. The schema itself must name every field it allows: each object with
properties says additionalProperties: false (or takes a definition that does).
Exit status 0 when every report matches, 1 otherwise, naming each report and
what is wrong with it.
"""
import json
import pathlib
import sys

import jsonschema


def loose_objects(node, where="#"):
    """Places in the schema that would let a field through unnamed."""
    found = []
    if isinstance(node, dict):
        if "properties" in node and "$ref" not in node and node.get("additionalProperties") is not False:
            found.append(where)
        for key, value in node.items():
            found += loose_objects(value, f"{where}/{key}")
    elif isinstance(node, list):
        for index, value in enumerate(node):
            found += loose_objects(value, f"{where}/{index}")
    return found


def definition_for(report):
    """The schema definition a report claims by its command and outcome."""
    command = report.get("command")
    if command == "update" and report.get("dryRun") is True:
        command = "dryRun"
    if command not in ("status", "update", "dryRun", "restore", "import") or "database" not in report:
        command = "early"
    return f"{command}.{report.get('outcome')}"


def check(schema, text):
    """What is wrong with one report's text; empty when nothing."""
    if text.count("\n") != 1 or not text.endswith("\n"):
        return ["not one line ending with a line break"]
    try:
        report = json.loads(text)
    except json.JSONDecodeError as error:
        return [f"not JSON: {error}"]
    if not isinstance(report, dict):
        return ["not a JSON object"]
    name = definition_for(report)
    if name not in schema["$defs"]:
        return [f"no definition {name} in the schema (command {report.get('command')!r}, "
                f"outcome {report.get('outcome')!r})"]
    checker = jsonschema.FormatChecker()
    own = {key: value for key, value in schema.items() if key != "oneOf"}
    own["$ref"] = f"#/$defs/{name}"
    problems = [f"{name}: {'/'.join(map(str, e.absolute_path)) or '(top)'}: {e.message}"
                for e in jsonschema.Draft202012Validator(own, format_checker=checker).iter_errors(report)]
    if not problems:
        # The whole schema too: exactly one definition may claim it.
        problems = [f"schema: {e.message}" for e in
                    jsonschema.Draft202012Validator(schema, format_checker=checker).iter_errors(report)]
    return problems


def main(arguments):
    if len(arguments) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    schema = json.loads(pathlib.Path(arguments[0]).read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    failures = 0
    for where in loose_objects(schema):
        print(f"schema: {where} allows fields it does not name", file=sys.stderr)
        failures += 1
    files = []
    for argument in arguments[1:]:
        path = pathlib.Path(argument)
        files += sorted(path.glob("*.json")) if path.is_dir() else [path]
    for path in files:
        text = path.read_bytes().decode("utf-8", errors="replace")
        for problem in check(schema, text):
            print(f"{path}: {problem}\n  report: {text.strip()[:2000]}", file=sys.stderr)
            failures += 1
    print(f"check_reports: {len(files)} reports, {failures} problems")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
