#!/usr/bin/python3
"""Validates JSON documents against a JSON Schema (draft 2020-12)."""

# Usage: validate_json.py [--mutations] SCHEMA FILE...
#
# Checks the schema itself (a bad one raises), then every FILE against it,
# printing each failure with the path to the offending value; exit status 1
# when anything failed. With --mutations every FILE must still validate, and
# every broken variant made from it (a required key deleted, an unknown kind,
# an extra key, a value of the wrong type, ...) must fail: a variant that
# validates, or a mutation that finds nothing to break, counts as a failure.
# This shows that the schema rejects what it should.

import copy
import json
import sys

import jsonschema

DELETE = object()

# Each: what it breaks, which object it breaks (the first in document order
# for which the test holds), the key, and the key's new value or DELETE.
MUTATIONS = [
    ("top-level 'version' deleted", lambda o: "format" in o, "version", DELETE),
    ("top-level 'format' changed", lambda o: "format" in o, "format", "other"),
    ("a newer version", lambda o: "format" in o, "version", 3),
    ("an item's 'kind' unknown", lambda o: "kind" in o and "children" in o, "kind", "bogus"),
    ("an item's 'visible' deleted", lambda o: "visible" in o, "visible", DELETE),
    ("a procedure's 'command' deleted", lambda o: o.get("kind") == "procedure", "command", DELETE),
    ("a procedure's display mode unknown", lambda o: o.get("kind") == "procedure",
     "outlineVarDisplay", "sideways"),
    ("a text's 'kind' unknown", lambda o: o.get("kind") == "string", "kind", "rope"),
    ("a string text given an extra key", lambda o: o.get("kind") == "string", "colour", "red"),
    ("a number's 'decimals' deleted", lambda o: o.get("kind") == "number", "decimals", DELETE),
    ("a number's value a word", lambda o: o.get("kind") == "number", "value", "many"),
    ("a text's footnote a mark", lambda o: o.get("kind") == "number" and "footnotes" in o,
     "footnotes", ["a"]),
    ("a payload not base64", lambda o: o.get("kind") == "chart", "xmlDescription", "<chart/>"),
    ("a payload given as a size", lambda o: o.get("kind") == "chart", "image", 16),
    ("a table's 'axes' deleted", lambda o: o.get("kind") == "pivotTable", "axes", DELETE),
    ("a table's display property deleted", lambda o: "show" in o, "layerLocation", DELETE),
    ("a back-end setting not a boolean", lambda o: "fastTables" in o, "unicode", "yes"),
    ("an axis list holding a string", lambda o: "rows" in o and "columns" in o, "rows", ["0"]),
    ("a category count a string", lambda o: "categoryCount" in o, "categoryCount", "4"),
    ("a leaf category's 'subscript' deleted", lambda o: o.get("group") is False,
     "subscript", DELETE),
    ("a category given an extra key", lambda o: "subscript" in o, "colour", "red"),
    ("a cell's 'text' deleted", lambda o: "index" in o and "text" in o, "text", DELETE),
    ("a cell's index negative", lambda o: "index" in o and "text" in o, "index", [-1]),
    ("a footnote's 'count' deleted", lambda o: "count" in o and "number" in o, "count", DELETE),
    ("a layer's 'rows' deleted", lambda o: "rows" in o and "corner" in o, "rows", DELETE),
    ("a heading entry's index negative", lambda o: "labels" in o and "layer" not in o,
     "index", [-1]),
]


# The best error of document, with the path to it, as text; None when valid.
def first_error(validator, document):
    error = jsonschema.exceptions.best_match(validator.iter_errors(document))
    return error and f"at /{'/'.join(map(str, error.absolute_path))}: {error.message}"


# Every object in value, in document order.
def objects(value):
    if isinstance(value, dict):
        yield value
        value = list(value.values())
    for child in value if isinstance(value, list) else []:
        yield from objects(child)


# The number of failures of document and, with mutations, of its variants.
def check(validator, name, document, mutations):
    error = first_error(validator, document)
    print(f"{name}: invalid {error}" if error else f"{name}: valid")
    if error or not mutations:
        return int(error is not None)
    failures = 0
    for what, wanted, key, value in MUTATIONS:
        broken = copy.deepcopy(document)
        found = next((found for found in objects(broken) if wanted(found)), None)
        if found is None:
            print(f"{name}: nothing to break for: {what}")
            failures += 1
            continue
        found[key] = value
        if value is DELETE:
            del found[key]
        error = first_error(validator, broken)
        failures += error is None
        print(f"{name}: rejected ({what}) {error}" if error
              else f"{name}: accepted although broken: {what}")
    return failures


def main(args):
    mutations = "--mutations" in args
    schema_name, *names = [arg for arg in args if arg != "--mutations"]
    with open(schema_name, encoding="utf-8") as file:
        schema = json.load(file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    for name in names:
        with open(name, encoding="utf-8") as file:
            failures += check(validator, name, json.load(file), mutations)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
