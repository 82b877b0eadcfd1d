#!/usr/bin/python3
"""Times a CSV crosstab in omtree-view against pandas on the same file.

The file has the shape of the one bench/CrosstabBench.cc writes: a header
region,product,year,amount,weight and rows such as
    Region 7,"Product, 31",2004,8817.25,3
(20 regions, 50 products, 10 years, amounts 0.00 to 10000.00, whole weights
1 to 5), drawn here with Python's generator from seed 42, so it matches the
benchmark's in shape and size, not byte for byte. Or pass --file.

The workload on both sides: the weighted count and the weighted mean of
amount for every region by product, per year. Three runs, in turns:

  omtree   the library call, measured like pandas: inside a child Python
           process, after `import omtree` (the package of the build tree),
           the time of omtree.crosstab(FILE, ...), which reads and
           crosstabulates the file into a document (BuildCrosstab, the GIL
           released). This is what the verdict compares.
  pandas   inside a child Python process, after the imports, from
           read_csv (category dtypes for region, product and year) to the
           pivot_table of the weight and of amount * weight summed, and the
           mean divided out. Interpreter start and imports are not timed.
  omtree-view
           the whole command, started from here: the same crosstab, then
           the document rendered as text to /dev/null, and the process's
           start and exit. Wall time measured around the process; shown
           for what a user of the command waits, not compared.

Peak memory is each command's maximum resident size, as /usr/bin/time reports
it (the omtree wall time includes starting /usr/bin/time). Each side
runs --repeat times in turns; the medians are compared. Usage:

    bench/crosstab_vs_pandas.py [--rows N] [--file PATH] [--repeat R]
                                [--omtree-view PATH]

Run it with Debian's python3 (python3-pandas).
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_VIEW = os.path.join(ROOT, "build", "release", "tools", "omtree-view")
DEFAULT_PACKAGE = os.path.join(ROOT, "build", "release", "python")
# The least speed-up over pandas that the crosstab is held to.
TARGET_RATIO = 3.0

PANDAS_CHILD = r"""
import sys, time
import pandas as pd
path = sys.argv[1]
start = time.perf_counter()
frame = pd.read_csv(path, dtype={"region": "category", "product": "category",
                                 "year": "category"})
frame["weighted"] = frame["amount"] * frame["weight"]
sums = pd.pivot_table(frame, values=["weight", "weighted"], index=["year", "region"],
                      columns="product", aggfunc="sum", observed=True)
mean = sums["weighted"] / sums["weight"]
elapsed = time.perf_counter() - start
print(elapsed, sums["weight"].to_numpy().sum(), mean.shape[0] * mean.shape[1])
"""


OMTREE_CHILD = r"""
import sys, time
import omtree
path = sys.argv[1]
start = time.perf_counter()
document = omtree.crosstab(path, rows=["region"], cols=["product"], layers=["year"],
                           stats=["count", "mean"], value="amount", weight="weight")
elapsed = time.perf_counter() - start
print(elapsed, len(document.tables))
"""


def write_input(path, rows):
    generator = random.Random(42)
    pick = generator.randint
    with open(path, "w", newline="") as out:
        out.write("region,product,year,amount,weight\n")
        lines = []
        for _ in range(rows):
            amount = pick(0, 1000000)
            lines.append('Region %d,"Product, %d",%d,%d.%02d,%d\n' %
                         (pick(0, 19), pick(0, 49), 2000 + pick(0, 9), amount // 100,
                          amount % 100, pick(1, 5)))
            if len(lines) == 100000:
                out.writelines(lines)
                lines.clear()
        out.writelines(lines)


def run_child(command):
    """Runs command; returns (wall seconds, peak RSS MB, standard output).

    The peak is what /usr/bin/time reports of the command itself: the
    resident size of a child forked from this process would count this
    process's pages at the fork."""
    with tempfile.NamedTemporaryFile(suffix=".rss", delete=False) as out:
        rss_path = out.name
    start = time.perf_counter()
    child = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", rss_path] + command,
                           capture_output=True)
    elapsed = time.perf_counter() - start
    with open(rss_path) as f:
        peak_kb = int(f.read().split()[-1])
    os.unlink(rss_path)
    if child.returncode != 0:
        sys.exit("%s failed: %s" % (command[0], child.stderr.decode(errors="replace")))
    return elapsed, peak_kb / 1024.0, child.stdout.decode()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--file")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--omtree-view", default=DEFAULT_VIEW)
    parser.add_argument("--package", default=DEFAULT_PACKAGE,
                        help="the folder that holds the omtree Python package")
    args = parser.parse_args()

    made = None
    path = args.file
    if path is None:
        made = tempfile.NamedTemporaryFile(suffix=".csv", delete=False)
        made.close()
        path = made.name
        write_input(path, args.rows)
    try:
        view = [args.omtree_view, path, "--rows", "region", "--cols", "product", "--layers",
                "year", "--stat", "count,mean", "--value", "amount", "--weight", "weight",
                "-o", "/dev/null"]
        pandas = [sys.executable, "-c", PANDAS_CHILD, path]
        library = ["env", "PYTHONPATH=" + args.package, sys.executable, "-c", OMTREE_CHILD, path]
        print("file: %s, %.1f MB" % (path, os.path.getsize(path) / 1e6))
        runs = {"omtree (omtree.crosstab)": [], "pandas (read_csv to result)": [],
                "omtree-view (whole process)": []}
        for _ in range(args.repeat):
            _, peak, out = run_child(library)
            runs["omtree (omtree.crosstab)"].append((float(out.split()[0]), peak))
            _, peak, out = run_child(pandas)
            runs["pandas (read_csv to result)"].append((float(out.split()[0]), peak))
            seconds, peak, _ = run_child(view)
            runs["omtree-view (whole process)"].append((seconds, peak))
        for name, timings in runs.items():
            print("%-28s wall s: %s  peak RSS MB: %s" %
                  (name, " ".join("%.3f" % s for s, _ in timings),
                   " ".join("%.1f" % m for _, m in timings)))
        median = {name: statistics.median(s for s, _ in timings)
                  for name, timings in runs.items()}
        omtree = median["omtree (omtree.crosstab)"]
        panda = median["pandas (read_csv to result)"]
        view_seconds = median["omtree-view (whole process)"]
        ratio = panda / omtree
        verdict = "met" if ratio >= TARGET_RATIO else "missed"
        print("median wall: omtree.crosstab %.3f s, pandas %.3f s; pandas / omtree = %.2f "
              "(target >= %.1f: %s)" % (omtree, panda, ratio, TARGET_RATIO, verdict))
        print("whole omtree-view process: %.3f s (pandas / omtree-view = %.2f), peak RSS "
              "%.1f MB; pandas peak RSS %.1f MB" %
              (view_seconds, panda / view_seconds,
               statistics.median(m for _, m in runs["omtree-view (whole process)"]),
               statistics.median(m for _, m in runs["pandas (read_csv to result)"])))
    finally:
        if made is not None:
            os.unlink(path)


if __name__ == "__main__":
    main()
