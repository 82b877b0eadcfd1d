"""Shared fixtures: generated survey data, as a DataFrame and as a CSV file,
and the omtree-view command whose messages the package must repeat."""

import os
import subprocess

import numpy
import pandas
import pytest


@pytest.fixture(scope="session")
def survey():
    """500 generated rows: categories, a value with two decimals and some
    gaps, integer frequency weights."""
    rng = numpy.random.default_rng(7)
    size = 500
    income = rng.normal(50, 12, size).round(2)
    income[rng.random(size) < 0.05] = numpy.nan
    return pandas.DataFrame({
        "region": rng.choice(["North", "South", "East", "West"], size),
        "sex": rng.choice(["F", "M"], size),
        "year": rng.choice([2024, 2025], size),
        "income": income,
        "weight": rng.integers(1, 4, size),
    })


@pytest.fixture(scope="session")
def survey_csv(survey, tmp_path_factory):
    path = tmp_path_factory.mktemp("data") / "survey.csv"
    survey.to_csv(path, index=False)
    return str(path)


@pytest.fixture(scope="session")
def view():
    """Runs omtree-view with arguments; returns (status, stdout, stderr)."""
    command = os.environ.get("OMTREE_VIEW")
    if not command:
        pytest.skip("OMTREE_VIEW names no omtree-view to compare with")

    # A sanitizer build preloads the sanitizer runtime into the interpreter;
    # omtree-view carries its own.
    environment = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}

    def run(*arguments):
        done = subprocess.run([command, *arguments], capture_output=True, text=True, check=False,
                              env=environment)
        return done.returncode, done.stdout, done.stderr
    return run
