"""omtree.crosstab against pandas on generated data, from a CSV file and
from a DataFrame, and its errors against omtree-view's messages."""

import numpy
import pandas
import pytest

import omtree


def plain(frame):
    """frame with one-level MultiIndexes made plain indexes, for comparing
    with what pandas.crosstab and pivot_table give."""
    frame = frame.copy()
    for axis in ("index", "columns"):
        index = getattr(frame, axis)
        if isinstance(index, pandas.MultiIndex) and index.nlevels == 1:
            setattr(frame, axis, index.get_level_values(0))
    return frame


def compare(got, expected):
    got = plain(got).reindex(index=expected.index, columns=expected.columns)
    numpy.testing.assert_allclose(got.to_numpy(float), expected.to_numpy(float), rtol=1e-12)


def survey_input(kind, survey, survey_csv):
    return survey_csv if kind == "csv" else survey


@pytest.mark.parametrize("kind", ["csv", "frame"])
class TestAgainstPandas:
    def test_counts(self, kind, survey, survey_csv):
        doc = omtree.crosstab(survey_input(kind, survey, survey_csv), rows=["region"],
                              cols=["sex"])
        expected = pandas.crosstab(survey.region, survey.sex)
        compare(doc.tables[0].to_frame().fillna(0), expected)

    def test_weighted_sums_and_means(self, kind, survey, survey_csv):
        doc = omtree.crosstab(survey_input(kind, survey, survey_csv), rows=["region"],
                              cols=["sex"], stats=["sum", "mean"], value="income",
                              weight="weight")
        table = doc.tables[0]
        frame = survey.assign(wx=survey.income * survey.weight,
                              wv=survey.weight.where(survey.income.notna()))
        sums = frame.pivot_table(values="wx", index="region", columns="sex", aggfunc="sum")
        valid = frame.pivot_table(values="wv", index="region", columns="sex", aggfunc="sum")
        got = table.to_frame()
        compare(got.xs("Sum", level="Statistics"), sums)
        compare(got.xs("Mean", level="Statistics"), sums / valid)

    def test_totals_and_layers(self, kind, survey, survey_csv):
        doc = omtree.crosstab(survey_input(kind, survey, survey_csv), rows=["region"],
                              cols=["sex"], layers=["year"], stats="mean", value="income",
                              totals=True, sort=True)
        table = doc.tables[0]
        assert [d.name for d in table.layers] == ["year"]
        for year in (2024, 2025):
            part = survey[survey.year == year]
            expected = part.pivot_table(values="income", index="region", columns="sex",
                                        aggfunc="mean", margins=True, margins_name="Total")
            compare(table.to_frame(layer=str(year)), expected)
        assert table.to_frame(layer=1).equals(table.to_frame(layer="2025"))

    def test_percentages_read_as_numbers(self, kind, survey, survey_csv):
        doc = omtree.crosstab(survey_input(kind, survey, survey_csv), rows=["region"],
                              cols=["sex"], stats=["rowpct"])
        table = doc.tables[0]
        expected = pandas.crosstab(survey.region, survey.sex, normalize="index") * 100
        compare(table.to_frame(), expected)
        assert table.cell_text(("North", "F")).endswith("%")


def test_frame_and_file_give_the_same_document(survey, survey_csv):
    arguments = dict(rows=["region", "sex"], cols=["year"], stats=["count", "median", "max"],
                     value="income", totals=True, chisq=False)
    from_file = omtree.crosstab(survey_csv, **arguments).tables[0]
    from_frame = omtree.crosstab(survey, **arguments).tables[0]
    assert from_frame.to_text() == from_file.to_text()


def test_frame_fields_read_as_a_csv_file_holds_them(tmp_path):
    frame = pandas.DataFrame({
        "group": pandas.Categorical(["b", "a", None, "b"], categories=["a", "b", "c"]),
        "code": [1.5, 0.1, 2.0, numpy.nan],
        "flag": [True, False, True, True],
    })
    path = tmp_path / "frame.csv"
    frame.to_csv(path, index=False)
    for data in (frame, str(path)):
        doc = omtree.crosstab(data, rows=["code"], cols=["flag"], totals=True)
        assert [c.label for c in doc.tables[0].dimension("code").categories] == \
            ["1.5", "0.1", "2.0", "Total"]
    doc = omtree.crosstab(frame, rows=["group"])
    assert [c.label for c in doc.tables[0].dimension("group").categories] == ["b", "a"]


class TestErrors:
    def test_bad_csv_line_and_column_as_the_command_says(self, tmp_path, view):
        path = tmp_path / "number.csv"
        path.write_text("region,income\nNorth,10\nSouth,12x\n")
        with pytest.raises(ValueError) as error:
            omtree.crosstab(str(path), rows=["region"], stats=["sum"], value="income")
        assert str(error.value).startswith(f"{path}:3:7: ")
        status, _, stderr = view(str(path), "--rows", "region", "--stat", "sum",
                                 "--value", "income")
        assert status == 1 and stderr == f"omtree-view: {error.value}\n"

    def test_request_errors(self, survey_csv, survey):
        for data in (survey_csv, survey):
            with pytest.raises(ValueError, match="no column \"regio\" in the header"):
                omtree.crosstab(data, rows=["regio"])
            with pytest.raises(ValueError, match="a sum needs a value column"):
                omtree.crosstab(data, rows=["region"], stats=["sum"])
        with pytest.raises(ValueError, match="unknown statistic 'average'; the statistics are"):
            omtree.crosstab(survey_csv, rows=["region"], stats=["average"])

    def test_unreadable_file_is_an_oserror(self, tmp_path):
        with pytest.raises(FileNotFoundError, match="missing.csv: cannot open: No such file"):
            omtree.crosstab(str(tmp_path / "missing.csv"), rows=["region"])
        with pytest.raises(OSError, match="cannot read"):
            omtree.crosstab(str(tmp_path), rows=["region"])
