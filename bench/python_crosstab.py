"""omtree.crosstab of a DataFrame beside pandas.pivot_table of the same frame.

    PYTHONPATH=build/release/python python3 bench/python_crosstab.py [rows] [repeats]

The frame (default 1,000,000 rows, seeded): region (50 categories), sex
(2), year (5), income (a normal value with two decimals, about 2% missing)
and weight (1 to 3). Each task runs `repeats` times (default 5); the best
wall-clock time is printed, with the ratio omtree / pandas (below 1: omtree
is faster). omtree's time includes coding the columns (pandas.factorize and
the fields' text) and building the document; the coding alone is printed
too.
"""

import sys
import time

import numpy
import pandas

import omtree
from omtree import _frames


def make_frame(rows):
    rng = numpy.random.default_rng(2026)
    income = rng.normal(2500, 600, rows).round(2)
    income[rng.random(rows) < 0.02] = numpy.nan
    return pandas.DataFrame({
        "region": rng.choice([f"Region {i:02d}" for i in range(50)], rows),
        "sex": rng.choice(["F", "M"], rows),
        "year": rng.choice(numpy.arange(2021, 2026), rows),
        "income": income,
        "weight": rng.integers(1, 4, rows),
    })


def best(task, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        task()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    frame = make_frame(rows)
    tasks = [
        ("count by region x sex",
         lambda: omtree.crosstab(frame, rows=["region"], cols=["sex"]),
         lambda: frame.pivot_table(index="region", columns="sex", values="weight",
                                   aggfunc="size")),
        ("count, mean of income by region x sex x year",
         lambda: omtree.crosstab(frame, rows=["region"], cols=["sex", "year"],
                                 stats=["count", "mean"], value="income"),
         lambda: frame.pivot_table(index="region", columns=["sex", "year"], values="income",
                                   aggfunc=["count", "mean"])),
        ("mean of income by region x sex, totals",
         lambda: omtree.crosstab(frame, rows=["region"], cols=["sex"], stats=["mean"],
                                 value="income", totals=True),
         lambda: frame.pivot_table(index="region", columns="sex", values="income",
                                   aggfunc="mean", margins=True)),
    ]
    print(f"{rows:,} rows, best of {repeats}")
    print(f"{'task':48} {'omtree s':>9} {'pandas s':>9} {'ratio':>6}")
    for name, ours, theirs in tasks:
        ours_time, theirs_time = best(ours, repeats), best(theirs, repeats)
        print(f"{name:48} {ours_time:9.3f} {theirs_time:9.3f} {ours_time / theirs_time:6.2f}")
    for column in ("region", "income"):
        coding = best(lambda: _frames._coded(column, frame[column]), repeats)
        print(f"coding the column {column!r} alone: {coding:.3f} s")


if __name__ == "__main__":
    main()
