"""Checks the structure of omtree-view's LaTeX, since pdflatex with multirow
(Debian's texlive-latex-extra, 309 MB installed) does not fit the CI
budget: braces balance, every \\begin has its \\end, and every row of a
tabular fills its column count, \\multicolumn spans counted. A planted
fault (a dropped & in one row) must be reported.

Usage: latex_check.py FILE.tex
Prints "latex checks passed" and exits 0 when every check holds.
"""

import re
import sys


def problems(text):
    found = []
    depth = 0
    for i, c in enumerate(text):
        escaped = i > 0 and text[i - 1] == "\\" and not (i > 1 and text[i - 2] == "\\")
        if c == "{" and not escaped:
            depth += 1
        elif c == "}" and not escaped:
            depth -= 1
            if depth < 0:
                found.append(f"unbalanced }} at offset {i}")
                depth = 0
    if depth != 0:
        found.append(f"{depth} braces left open")
    stack = []
    for match in re.finditer(r"\\(begin|end)\{(\w+)\}", text):
        if match.group(1) == "begin":
            stack.append(match.group(2))
        elif not stack or stack.pop() != match.group(2):
            found.append(f"\\end{{{match.group(2)}}} closes nothing open")
    found += [f"\\begin{{{name}}} never ends" for name in stack]
    for match in re.finditer(r"\\begin\{tabular\}\{([lcr]+)\}\n(.*?)\\end\{tabular\}", text, re.S):
        columns = len(match.group(1))
        for line in match.group(2).split("\n"):
            if not line.endswith("\\\\"):
                continue
            cells = re.split(r"(?<!\\)&", line[:-2])
            width = sum(int(m.group(1)) if (m := re.match(r"\s*\\multicolumn\{(\d+)\}", cell))
                        else 1 for cell in cells)
            if width != columns:
                found.append(f"row covers {width} columns, expected {columns}: {line}")
    return found


def main():
    text = open(sys.argv[1], encoding="utf-8").read()
    found = problems(text)
    row = re.search(r"^(.*?) & (.*\\\\)$", text, re.M)
    planted = problems(text[: row.start()] + row.group(1) + " " + row.group(2) + text[row.end() :])
    if not any("row covers" in p for p in planted):
        found.append("a row with a dropped & went unnoticed")
    for problem in found:
        print(problem)
    if found:
        sys.exit(1)
    print("latex checks passed")


if __name__ == "__main__":
    main()
