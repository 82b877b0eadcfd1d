"""Tables built by hand: dimensions, groups, cells, footnotes and pivoting,
checked through the renderers and to_frame; handles that outlive their
document or their category; preconditions that raise instead of aborting."""

import gc
import math

import pandas
import pytest

import omtree


def smokers():
    """A table of sex by smoker, cells (sex, smoker): (0,0)=12 (0,1)=30 (1,0)=8 (1,1)=41."""
    doc = omtree.Document()
    table = doc.add_table("Smokers")
    table.add_dimension("Sex", ["Male", "Female"])
    table.add_dimension("Smoker", ["Yes", "No"], axis="columns")
    for index, count in {(0, 0): 12, (0, 1): 30, (1, 0): 8, (1, 1): 41}.items():
        table[index] = count
    return doc, table


def test_cells_by_subscripts_labels_categories_and_names():
    _, table = smokers()
    female = table.dimension("Sex").categories[1]
    assert table[1, 1] == table["Female", "No"] == table[female, "No"] == 41
    assert table.cell({"Smoker": "Yes", "Sex": "Male"}) == 12
    table["Male", "Yes"] = "n/a"
    table.set_cell((1, 0), 8.25, decimals=2)
    table[0, 1] = float("nan")
    del table[1, 1]
    assert table["Male", "Yes"] == "n/a" and table.cell_text((1, 0)) == "8.25"
    assert math.isnan(table[0, 1]) and table.cell_text((0, 1)) == "."
    assert table[1, 1] is None
    cells = dict(table.cells())
    assert set(cells) == {(0, 0), (0, 1), (1, 0)} and cells[(0, 0)] == "n/a"


def test_axes_and_pivoting_show_in_the_rendering():
    _, table = smokers()
    assert [d.name for d in table.rows] == ["Sex"]
    assert [d.name for d in table.columns] == ["Smoker"]
    first_line = table.to_text(ascii=True).splitlines()
    table.transpose()
    assert [d.name for d in table.rows] == ["Smoker"]
    assert table.to_text(ascii=True).splitlines() != first_line
    table.pivot(layers=["Sex"])
    assert [d.name for d in table.layers] == ["Sex"] and table.columns == []
    assert list(table.to_frame(layer="Female").columns) == [0]
    table.move("Sex", "columns")
    table.move("Smoker", "columns", 0)
    assert [d.name for d in table.columns] == ["Smoker", "Sex"] and table.rows == []
    with pytest.raises(ValueError, match="exactly one axis"):
        table.pivot(rows=["Sex"], columns=["Sex"])
    with pytest.raises(ValueError, match="axis must be"):
        table.move("Sex", "diagonal")
    assert [d.name for d in table.columns] == ["Smoker", "Sex"]


def test_groups_titles_and_footnotes_round_trip(tmp_path):
    doc = omtree.Document()
    table = doc.add_table("Cities")
    city = table.add_dimension("City")
    north = city.add_group("North")
    city.add_category("Oslo", parent=north)
    city.add_category("Bergen", parent=north)
    city.add_category("Rome")
    table.add_dimension("Measure", ["Population"], axis="columns")
    table.title, table.caption, table.corner_text = "Cities by region", "Made up.", "City"
    table[("North", "Oslo"), 0] = 700
    table["Bergen", "Population"] = 290
    table["Rome", 0] = 2800
    mark = table.add_footnote("Estimate", cell=("Rome", 0))
    path = tmp_path / "cities.json"
    doc.save(path)
    again = omtree.open(path).tables[0]
    assert (again.title, again.caption, again.corner_text) == \
        ("Cities by region", "Made up.", "City")
    assert again.footnotes == ["Estimate"] and again.cell_footnotes(("Rome", 0)) == [mark]
    assert [c.path for c in again.dimension("City").categories] == \
        [("North", "Oslo"), ("North", "Bergen"), ("Rome",)]
    frame = again.to_frame()
    assert frame.index.names == ["City (group 1)", "City"]
    assert list(frame.index) == [("North", "Oslo"), ("North", "Bergen"), ("", "Rome")]
    assert list(frame.iloc[:, 0]) == [700, 290, 2800]
    assert "[a]" in again.to_text() and "Estimate" in again.to_text()


def test_to_frame_matches_the_cells_with_hidden_categories_left_out():
    _, table = smokers()
    table.add_footnote("unused")
    table.dimension("Smoker").categories[0].hidden = True
    frame = table.to_frame()
    assert isinstance(frame.index, pandas.MultiIndex) and list(frame.columns) == [("No",)]
    assert list(frame[("No",)]) == [30, 41]
    assert "Yes" not in table.to_text()


class TestLifetimes:
    def test_a_table_outlives_its_document_object(self):
        doc, table = smokers()
        sex = table.dimension("Sex")
        male = sex.categories[0]
        del doc
        gc.collect()
        assert table[male, "No"] == 30 and sex.name == "Sex" and male.label == "Male"
        assert table.parent.label == "Output"

    def test_closed_documents_raise(self):
        doc, table = smokers()
        male = table.dimension("Sex").categories[0]
        doc.close()
        for use in (lambda: table[0, 0], lambda: male.label, lambda: doc.to_text(),
                    lambda: table.to_frame(), lambda: doc.items):
            with pytest.raises(ValueError, match="the document is closed"):
                use()

    def test_categories_after_edits_follow_or_raise(self):
        _, table = smokers()
        sex = table.dimension("Sex")
        male, female = sex.categories
        other = sex.add_category("Other")
        assert male.label == "Male" and other.subscript == 2
        known = sex.group("Known", [male, female])
        for moved in (male, female):
            with pytest.raises(ValueError, match="no longer in dimension 'Sex'"):
                moved.hidden  # pylint: disable=pointless-statement
        assert other.label == "Other"
        assert [c.label for c in known.children] == ["Male", "Female"]
        assert table[("Known", "Female"), "No"] == 41
        men, women = known.children
        also_men = known.children[0]
        women.remove()
        assert len(table.cells()) == 2 and table[men, "No"] == 30
        with pytest.raises(ValueError, match="'Known' / 'Female'"):
            women.label  # pylint: disable=pointless-statement
        men.label = "Men"
        assert men.path == ("Known", "Men") and table["Men", "Yes"] == 12
        with pytest.raises(ValueError, match="'Known' / 'Male'"):
            also_men.hidden = True


class TestPreconditionsRaise:
    def test_cell_indexes(self):
        _, table = smokers()
        with pytest.raises(ValueError, match="needs 2 elements, one per dimension; got 3"):
            table[0, 0, 0]
        with pytest.raises(IndexError, match="subscript 2 of dimension 'Sex' out of range"):
            table[2, 0]
        with pytest.raises(IndexError):
            table[-1, 0] = 1
        with pytest.raises(KeyError, match="no category 'Child'"):
            table["Child", 0]
        with pytest.raises(IndexError, match="subscript 1000000000000000000000 of"):
            table[10**21, 0]
        with pytest.raises(TypeError, match="not float"):
            table[0.5, 0]
        with pytest.raises(TypeError, match="a dimension is a Dimension"):
            table[{0.5: 0, "Smoker": 0}]
        with pytest.raises(TypeError):
            table[0, 0] = [1]
        with pytest.raises(OverflowError):
            table[0, 0] = 10**400
        assert table[0, 0] == 12
        with pytest.raises(ValueError, match="a group holds no cells"):
            table.dimension("Sex").group("All", table.dimension("Sex").categories)
            table[("All",), 0]

    def test_building(self):
        doc, table = smokers()
        with pytest.raises(ValueError, match="before the first cell"):
            table.add_dimension("Late")
        with pytest.raises(ValueError, match="already has a category 'Yes'"):
            table.dimension("Smoker").add_category("Yes")
        with pytest.raises(ValueError, match="below a group"):
            table.dimension("Smoker").categories[0].add_category("x")
        with pytest.raises(ValueError, match="'Twice' is named twice"):
            doc.add_table("t").add_dimension("d", ["Twice", "Twice"])
        empty = doc.add_table("empty")
        with pytest.raises(ValueError, match="no dimensions"):
            empty[0]
        with pytest.raises(IndexError, match="dimension 5 out of range"):
            table.dimension(5)
        with pytest.raises(ValueError, match="layer must be a layer number"):
            doc.to_text(layer=-2)
