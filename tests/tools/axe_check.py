#!/usr/bin/python3
"""Runs axe-core on an exported HTML page in headless Chromium."""

# Usage: axe_check.py FILE.html --axe AXE.min.js [--chromedriver PATH]
#                     [--chromium PATH]
#
# Loads the page with script on (so a layer selection is in the state a
# reader meets), injects axe-core and runs every rule it runs by default.
# Exit status 0 when it reports no violation; 1 otherwise, each violation
# with the nodes it names reported on standard error.

import argparse
import os
import shutil
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

RUN_AXE = """
const done = arguments[arguments.length - 1];
axe.run(document).then(
  results => done({passes: results.passes.length, violations: results.violations.map(
    violation => ({id: violation.id, help: violation.help,
                   nodes: violation.nodes.map(node => node.target.join(' '))}))}),
  error => done({error: String(error)}));
"""


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("page")
    parser.add_argument("--axe", required=True)
    parser.add_argument("--chromedriver", default=shutil.which("chromedriver"))
    parser.add_argument("--chromium", default=shutil.which("chromium"))
    args = parser.parse_args()
    for what, path in (("chromedriver", args.chromedriver), ("axe-core", args.axe),
                       ("page", args.page)):
        if not path or not os.path.isfile(path):
            print(f"axe_check: no {what} ({path})", file=sys.stderr)
            return 1
    with open(args.axe, encoding="utf-8") as file:
        axe = file.read()

    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    if args.chromium:
        options.binary_location = args.chromium
    driver = webdriver.Chrome(service=Service(executable_path=args.chromedriver), options=options)
    try:
        driver.set_page_load_timeout(60)
        driver.set_script_timeout(60)
        driver.get("file://" + os.path.abspath(args.page))
        driver.execute_script(axe)
        results = driver.execute_async_script(RUN_AXE)
    finally:
        driver.quit()

    if "error" in results:
        print(f"{args.page}: axe-core failed: {results['error']}", file=sys.stderr)
        return 1
    for violation in results["violations"]:
        print(f"{args.page}: {violation['id']}: {violation['help']}: "
              f"{', '.join(violation['nodes'])}", file=sys.stderr)
    if results["violations"]:
        print(f"axe_check: {len(results['violations'])} violations", file=sys.stderr)
        return 1
    print(f"axe_check: {args.page}: no violations, {results['passes']} rules pass")
    return 0


if __name__ == "__main__":
    sys.exit(main())
