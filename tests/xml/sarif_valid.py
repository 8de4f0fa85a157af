#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# zelcheck's SARIF on every golden document, one file at a time and all at
# once, and on a document read from standard input, validated against the
# SARIF 2.1.0 schema. Skipped (status 77) with the reason when the schema
# or python3-jsonschema is missing: tests/xml/fetch_sarif_schema.sh fetches
# the schema.
import glob
import json
import os
import subprocess
import sys

SKIP = 77


def schema_path():
    given = os.environ.get("ZELREPORT_SARIF_SCHEMA")
    if given:
        return given
    cache = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(cache, "zelreport", "sarif-2.1.0-rtm.5.json")


def main(zelcheck, tests_dir):
    try:
        import jsonschema
    except ImportError:
        print("python3-jsonschema is not installed: SARIF not validated")
        return SKIP
    path = schema_path()
    if not os.path.exists(path):
        print(f"no SARIF schema at {path}: run tests/xml/fetch_sarif_schema.sh")
        return SKIP
    with open(path) as f:
        validator = jsonschema.Draft4Validator(json.load(f))
    documents = sorted(glob.glob(os.path.join(tests_dir, "*", "*.xml")))
    runs = [[d] for d in documents] + [documents]
    failures = 0
    for files in runs:
        sarif = subprocess.run([zelcheck, "--format=sarif", *files], capture_output=True).stdout
        failures += report(validator, sarif, files[0] if len(files) == 1 else "all at once")
    with open(documents[0], "rb") as f:
        sarif = subprocess.run([zelcheck, "--format=sarif"], stdin=f, capture_output=True).stdout
    failures += report(validator, sarif, "standard input")
    print(f"{len(runs) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


def report(validator, sarif, what):
    try:
        errors = list(validator.iter_errors(json.loads(sarif)))
    except ValueError as error:
        print(f"{what}: not JSON: {error}")
        return 1
    for error in errors[:5]:
        print(f"{what}: {error.message} at {list(error.path)}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
