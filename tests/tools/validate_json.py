#!/usr/bin/python3
"""Validates JSON documents against a JSON Schema (draft 2020-12).

Usage: validate_json.py [--mutations] SCHEMA FILE...

Checks the schema itself, then every FILE against it. Each failure is
printed with the path to the offending value; the exit status is 1 when
anything failed, 0 otherwise.

With --mutations every FILE must still validate, and in addition every
broken variant made from it (a required key deleted, an unknown kind, an
extra key, a value of the wrong type, ...) must fail: a variant that
validates, or a mutation that finds nothing to break, counts as a failure.
This shows that the schema rejects what it should.
"""

import argparse
import copy
import json
import sys

import jsonschema


def error_path(error):
    return "/" + "/".join(str(part) for part in error.absolute_path)


def first_error(validator, document):
    return jsonschema.exceptions.best_match(validator.iter_errors(document))


def first_object(document, wanted):
    """The first object in document order for which wanted holds, or None."""
    pending = [document]
    while pending:
        value = pending.pop()
        if isinstance(value, dict):
            if wanted(value):
                return value
            pending.extend(reversed(list(value.values())))
        elif isinstance(value, list):
            pending.extend(reversed(value))
    return None


def delete(key):
    return lambda found: found.pop(key)


def assign(key, value):
    return lambda found: found.__setitem__(key, value)


# Each: what it breaks, which object it breaks, how.
MUTATIONS = [
    ("top-level 'version' deleted", lambda o: "format" in o, delete("version")),
    ("top-level 'format' changed", lambda o: "format" in o, assign("format", "other")),
    ("an item's 'kind' unknown", lambda o: "kind" in o, assign("kind", "bogus")),
    ("an item's 'visible' deleted", lambda o: "visible" in o, delete("visible")),
    ("a procedure's 'command' deleted", lambda o: o.get("kind") == "procedure",
     delete("command")),
    ("a table's 'layers' deleted", lambda o: o.get("kind") == "pivotTable", delete("layers")),
    ("a chart's payload size negative", lambda o: "xmlDescription" in o,
     assign("xmlDescription", -1)),
    ("a dimension's 'role' unknown", lambda o: "role" in o, assign("role", "diagonal")),
    ("a leaf category's 'subscript' deleted", lambda o: "subscript" in o, delete("subscript")),
    ("a category given an extra key", lambda o: "subscript" in o, assign("colour", "red")),
    ("a cell's 'value' deleted", lambda o: "value" in o and "index" in o, delete("value")),
    ("a cell's 'number' made a string", lambda o: "number" in o and "value" in o,
     assign("number", "12")),
    ("a cell's footnote mark not a mark", lambda o: "value" in o and "footnotes" in o,
     assign("footnotes", ["A"])),
    ("a footnote's 'mark' deleted", lambda o: "mark" in o, delete("mark")),
    ("a layer's 'rows' deleted", lambda o: "rows" in o and "columns" in o, delete("rows")),
    ("a heading entry's index negative", lambda o: "labels" in o and "layer" not in o,
     assign("index", [-1])),
]


def check_mutations(validator, name, document):
    """The number of mutations of document that were not rejected."""
    failures = 0
    for what, wanted, mutate in MUTATIONS:
        broken = copy.deepcopy(document)
        found = first_object(broken, wanted)
        if found is None:
            print(f"{name}: nothing to break for: {what}")
            failures += 1
            continue
        mutate(found)
        error = first_error(validator, broken)
        if error is None:
            print(f"{name}: accepted although broken: {what}")
            failures += 1
        else:
            print(f"{name}: rejected ({what}) at {error_path(error)}: {error.message}")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--mutations", action="store_true",
                        help="also check that broken variants of each file fail")
    parser.add_argument("schema")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    with open(args.schema, encoding="utf-8") as file:
        schema = json.load(file)
    validator_class = jsonschema.Draft202012Validator
    try:
        validator_class.check_schema(schema)
    except jsonschema.exceptions.SchemaError as error:
        print(f"{args.schema}: not a valid schema at {error_path(error)}: {error.message}")
        return 1
    validator = validator_class(schema)

    failures = 0
    for name in args.files:
        with open(name, encoding="utf-8") as file:
            document = json.load(file)
        error = first_error(validator, document)
        if error is not None:
            print(f"{name}: invalid at {error_path(error)}: {error.message}")
            failures += 1
            continue
        print(f"{name}: valid")
        if args.mutations:
            failures += check_mutations(validator, name, document)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
