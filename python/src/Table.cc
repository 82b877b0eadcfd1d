// Pivot tables, their dimensions and categories: reading, building and
// pivoting, with every precondition of the library checked here first, so
// that bad input raises instead of failing a check in the library.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Binding.h"
#include "Html.h"
#include "Layout.h"
#include "Text.h"

namespace ombind {

namespace {

using Node = OmDimension::Node;

// The three axis lists of a table, each outermost dimension first (the
// library's lists run innermost first).
struct Axes {
  std::vector<int> rows, columns, layers;
};

const char* const kAxisNames[] = {"rows", "columns", "layers"};

std::vector<int> Outermost(const PuppetVector<short>& list) {
  return {list.rbegin(), list.rend()};
}

void Store(const std::vector<int>& outermostFirst, PuppetVector<short>& list) {
  list.assign(outermostFirst.rbegin(), outermostFirst.rend());
}

Axes AxesOf(const OmPivotTable& table) {
  return {Outermost(table.Rows()), Outermost(table.Columns()), Outermost(table.Layers())};
}

std::vector<int>& AxisList(Axes& axes, const std::string& axis) {
  if (axis == "rows") return axes.rows;
  if (axis == "columns") return axes.columns;
  if (axis == "layers") return axes.layers;
  throw py::value_error("axis must be 'rows', 'columns' or 'layers', not '" + axis + "'");
}

// Stores axes in table. REQUIRES: each dimension is on exactly one axis
// (else ValueError, and the table is unchanged).
void SetAxes(OmPivotTable& table, const Axes& axes) {
  std::vector<int> seen(table.NDimensions(), 0);
  for (const auto* list : {&axes.rows, &axes.columns, &axes.layers}) {
    for (int dimension : *list)
      ++seen[dimension];
  }
  for (std::size_t d = 0; d < seen.size(); ++d) {
    if (seen[d] != 1) {
      throw py::value_error("dimension '" + TextOf(&table.Dimension(static_cast<int>(d)).Name()) +
                            "' must stand on exactly one axis, not " + std::to_string(seen[d]));
    }
  }
  Store(axes.rows, table.Rows());
  Store(axes.columns, table.Columns());
  Store(axes.layers, table.Layers());
}

// The number of the dimension that key names: a Dimension of table, its
// number, or its name.
int DimensionNumber(const OmPivotTable& table, const py::handle& key) {
  const int count = static_cast<int>(table.NDimensions());
  if (py::isinstance<DimensionHandle>(key)) {
    const auto& dimension = key.cast<const DimensionHandle&>();
    if (dimension.table != &table || dimension.state->tree == nullptr) {
      throw py::value_error("the dimension belongs to another table");
    }
    return dimension.number;
  }
  if (py::isinstance<py::str>(key)) {
    const int found = table.FindDimension(MakeText(key.cast<std::string>()));
    if (found < 0) throw py::key_error("no dimension named '" + key.cast<std::string>() + "'");
    return found;
  }
  if (!PyIndex_Check(key.ptr())) {
    throw py::type_error(std::string("a dimension is a Dimension, its number or its name, not ") +
                         Py_TYPE(key.ptr())->tp_name);
  }
  const auto number = key.cast<long long>();
  if (number < 0 || number >= count) {
    throw py::index_error("dimension " + std::to_string(number) + " out of range (the table has " +
                          std::to_string(count) + ")");
  }
  return static_cast<int>(number);
}

// A category's resolved leaf subscript for one element of a cell key: a
// subscript, a label, a path of labels or a Category.
int Subscript(const DimensionHandle& dimension, const py::handle& key) {
  OmDimension& d = dimension.Dimension();
  const std::string name = TextOf(&d.Name());
  if (!py::isinstance<py::str>(key) && PyIndex_Check(key.ptr())) {
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(key.ptr()));
    if (!number) throw py::error_already_set();
    int overflow = 0;
    const long long subscript = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow != 0 || subscript < 0 || subscript >= d.NumCategories()) {
      throw py::index_error("subscript " + py::str(number).cast<std::string>() + " of dimension '" +
                            name + "' out of range (it has " + std::to_string(d.NumCategories()) +
                            " categories)");
    }
    return static_cast<int>(subscript);
  }
  Node leaf = d.Root();
  if (py::isinstance<CategoryHandle>(key)) {
    const auto& category = key.cast<const CategoryHandle&>();
    if (!category.dimension.Same(dimension)) {
      throw py::value_error("the category belongs to another dimension than '" + name + "'");
    }
    leaf = category.Resolve();
  } else if (py::isinstance<py::str>(key)) {
    const std::string label = key.cast<std::string>();
    int found = 0;
    ForEachLeaf(d, [&](const Node& node, const std::vector<std::string>&) {
      if (TextOf(node->Text()) == label && found++ == 0) leaf = node;
    });
    if (found == 0) throw py::key_error("dimension '" + name + "' has no category '" + label + "'");
    if (found > 1) {
      throw py::value_error("dimension '" + name + "' has " + std::to_string(found) +
                            " categories '" + label + "'; name it by its path of labels");
    }
  } else {
    std::vector<PathStep> path;
    if (!py::isinstance<py::tuple>(key)) {
      throw py::type_error(std::string("a cell index element is a subscript, a label, a tuple of "
                                       "labels or a Category, not ") +
                           Py_TYPE(key.ptr())->tp_name);
    }
    for (const auto& label : key.cast<py::tuple>()) {
      if (!py::isinstance<py::str>(label)) throw py::type_error("a path holds labels (str)");
      path.push_back({label.cast<std::string>(), true, -1});
    }
    if (path.empty()) throw py::value_error("an empty path names no category");
    path.back().group = false;
    try {
      leaf = CategoryHandle{dimension, path}.Resolve();
    } catch (const py::value_error&) {
      path.back().group = true;
      leaf = CategoryHandle{dimension, path}.Resolve();  // a group, refused below, or raises
    }
  }
  if (leaf->IsGroup()) throw py::value_error("a group holds no cells; name a category");
  return static_cast<int>(leaf->Subscript());
}

// The cell index that key names: a tuple with one element per dimension, a
// single element for a table of one dimension, or a dict from dimension
// names to elements.
std::vector<int> CellIndex(const TableHandle& handle, const py::handle& key) {
  OmPivotTable& table = handle.Table();
  const std::size_t count = table.NDimensions();
  if (count == 0) throw py::value_error("the table has no dimensions, so no cells");
  std::vector<py::object> elements(count);
  if (py::isinstance<py::dict>(key)) {
    for (const auto& [name, element] : key.cast<py::dict>()) {
      elements[DimensionNumber(table, name)] = py::reinterpret_borrow<py::object>(element);
    }
  } else if (py::isinstance<py::tuple>(key) && count > 1) {
    const auto tuple = key.cast<py::tuple>();
    for (std::size_t d = 0; d < std::min(count, tuple.size()); ++d)
      elements[d] = tuple[d];
    if (tuple.size() != count) {
      throw py::value_error("a cell index needs " + std::to_string(count) +
                            " elements, one per dimension; got " + std::to_string(tuple.size()));
    }
  } else {
    elements[0] = py::reinterpret_borrow<py::object>(key);
  }
  std::vector<int> index(count);
  for (std::size_t d = 0; d < count; ++d) {
    if (!elements[d]) {
      throw py::value_error("the cell index names no category of dimension '" +
                            TextOf(&table.Dimension(static_cast<int>(d)).Name()) + "'");
    }
    index[d] = Subscript({handle.state, &table, static_cast<int>(d)}, elements[d]);
  }
  return index;
}

// A cell as Python reads it: a number (a percentage's number too) as float,
// the missing mark as NaN, any other text as its string, no cell as None.
py::object CellValue(const OmCellText* cell) {
  if (cell == nullptr) return py::none();
  if (const OmNumber* number = omrender::CellNumber(cell)) return py::float_(number->Value());
  if (dynamic_cast<const OmMissing*>(cell) != nullptr) {
    return py::float_(std::numeric_limits<double>::quiet_NaN());
  }
  return py::str(cell->AsString());
}

void SetCell(const TableHandle& handle, const py::object& key, const py::object& value,
             const py::object& decimals) {
  Access access(handle.state);
  OmPivotTable& table = handle.Table();
  const std::vector<int> index = CellIndex(handle, key);
  if (value.is_none()) {
    table.deleteCell(index);
  } else if (py::isinstance<py::str>(value)) {
    table.Cell(index, MakeText(value.cast<std::string>()));
  } else if (py::isinstance<py::bool_>(value) || !py::hasattr(value, "__float__")) {
    throw py::type_error("a cell holds a number, a string or None");
  } else if (const double number = PyFloat_AsDouble(value.ptr());
             number == -1 && PyErr_Occurred() != nullptr) {
    throw py::error_already_set();
  } else if (std::isnan(number)) {
    table.Cell(index, OmMissing());
  } else {
    OmNumber text(number);
    if (!decimals.is_none()) {
      const int places = decimals.cast<int>();
      if (places < 0 || places > OmNumber::kMaxDecimals) {
        throw py::value_error("decimals must be 0 to " + std::to_string(OmNumber::kMaxDecimals));
      }
      text.SetDecimals(places);
    }
    table.Cell(index, text);
  }
}

// One dimension's leaves as a frame shows them: the level names (group
// levels, then the dimension) and per shown leaf its labels and subscript.
struct FrameAxis {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> labels;
  std::vector<int> subscripts;
};

FrameAxis FrameLeaves(OmDimension& dimension) {
  FrameAxis axis;
  std::size_t depth = 0;
  std::vector<std::vector<std::string>> groups;
  ForEachLeaf(dimension, [&](const Node& leaf, const std::vector<std::string>& path) {
    if (leaf->Hide()) return;
    depth = std::max(depth, path.size());
    groups.push_back(path);
    axis.labels.push_back({TextOf(leaf->Text())});
    axis.subscripts.push_back(static_cast<int>(leaf->Subscript()));
  });
  const std::string name = TextOf(&dimension.Name());
  for (std::size_t g = 1; g <= depth; ++g) {
    axis.names.push_back(name + " (group " + std::to_string(g) + ")");
  }
  axis.names.push_back(name);
  for (std::size_t i = 0; i < groups.size(); ++i) {
    groups[i].resize(depth);
    groups[i].push_back(axis.labels[i][0]);
    axis.labels[i] = std::move(groups[i]);
  }
  return axis;
}

// The combinations of the leaves of dimensions (outermost first, the last
// varying fastest): their level names, their labels and, per combination,
// the subscripts it sets in a cell index.
struct Product {
  std::vector<std::string> names;
  std::vector<py::tuple> keys;
  std::vector<std::vector<std::pair<int, int>>> subscripts;  // (dimension, subscript)
};

Product Combine(OmPivotTable& table, const std::vector<int>& dimensions) {
  Product product;
  std::vector<FrameAxis> axes;
  for (int d : dimensions) {
    axes.push_back(FrameLeaves(table.Dimension(d)));
    product.names.insert(product.names.end(), axes.back().names.begin(), axes.back().names.end());
  }
  std::vector<std::size_t> at(axes.size(), 0);
  for (const auto& axis : axes) {
    if (axis.subscripts.empty()) return product;
  }
  for (;;) {
    std::vector<std::string> labels;
    std::vector<std::pair<int, int>> subscripts;
    for (std::size_t a = 0; a < axes.size(); ++a) {
      const auto& leafLabels = axes[a].labels[at[a]];
      labels.insert(labels.end(), leafLabels.begin(), leafLabels.end());
      subscripts.push_back({dimensions[a], axes[a].subscripts[at[a]]});
    }
    product.keys.push_back(py::cast(labels));
    product.subscripts.push_back(std::move(subscripts));
    std::size_t a = axes.size();
    while (a > 0 && ++at[a - 1] == axes[a - 1].subscripts.size())
      at[--a] = 0;
    if (a == 0) break;
  }
  return product;
}

// What to_frame builds its DataFrame from: the row levels (the layer
// dimensions, then the row dimensions) and keys, how many of the row levels
// are the layers', the column levels and keys,
// the numbers (NaN elsewhere) and the (row, column, text) of text cells.
py::tuple FrameData(const TableHandle& handle) {
  Access access(handle.state);
  OmPivotTable& table = handle.Table();
  const Axes axes = AxesOf(table);
  std::vector<int> rowDimensions = axes.layers;
  rowDimensions.insert(rowDimensions.end(), axes.rows.begin(), axes.rows.end());
  const Product rows = Combine(table, rowDimensions);
  const Product columns = Combine(table, axes.columns);
  const std::size_t nRows = rowDimensions.empty() ? 1 : rows.keys.size();
  const std::size_t nColumns = axes.columns.empty() ? 1 : columns.keys.size();
  py::array_t<double> numbers({nRows, nColumns});
  auto view = numbers.mutable_unchecked<2>();
  py::list texts;
  std::vector<int> index(table.NDimensions(), 0);
  const std::vector<std::pair<int, int>> none;
  for (std::size_t r = 0; r < nRows; ++r) {
    for (const auto& [d, s] : rowDimensions.empty() ? none : rows.subscripts[r])
      index[d] = s;
    for (std::size_t c = 0; c < nColumns; ++c) {
      for (const auto& [d, s] : axes.columns.empty() ? none : columns.subscripts[c])
        index[d] = s;
      const OmCellText* cell = index.empty() ? nullptr : table.Cell(index);
      const OmNumber* number = omrender::CellNumber(cell);
      view(r, c) = number != nullptr ? number->Value() : std::numeric_limits<double>::quiet_NaN();
      if (number == nullptr && cell != nullptr && dynamic_cast<const OmMissing*>(cell) == nullptr) {
        texts.append(py::make_tuple(r, c, cell->AsString()));
      }
    }
  }
  std::size_t layerLevels = 0;
  for (int d : axes.layers)
    layerLevels += FrameLeaves(table.Dimension(d)).names.size();
  return py::make_tuple(rows.names, rows.keys, layerLevels, columns.names, columns.keys, numbers,
                        texts);
}

// The HTML page of a document holding only this table. The table hangs in
// a scratch outline for the call and is taken out again through List(),
// which never deletes items.
std::string TableHtml(OmPivotTable& table) {
  OmOutputTree scratch;
  scratch.Root().AppendChild(&table);
  struct Detach {
    OmOutputTree& tree;
    ~Detach() { tree.List().pop_back(); }
  } detach{scratch};
  return omrender::RenderHtml(scratch, omrender::Options(), TextOf(table.OutlineText()));
}

std::vector<DimensionHandle> Dimensions(const TableHandle& handle,
                                        const std::vector<int>& numbers) {
  std::vector<DimensionHandle> dimensions;
  for (int d : numbers)
    dimensions.push_back({handle.state, &handle.Table(), d});
  return dimensions;
}

// An optional text of a table as Python reads it.
py::object OptionalText(const OmCellText* text) {
  if (text == nullptr) return py::none();
  return py::str(text->AsString());
}

void DefineCells(py::class_<TableHandle, ItemHandle>& table) {
  table.def(
      "cell",
      [](const TableHandle& handle, const py::object& key) {
        Access access(handle.state);
        return CellValue(handle.Table().Cell(CellIndex(handle, key)));
      },
      "The cell at key: a float for a number or percentage (NaN for the missing mark), a str "
      "for a text, None for no cell. key holds one element per dimension, each a subscript, a "
      "label, a tuple of labels from the outermost group, or a Category; or is a dict from "
      "dimension names to elements.",
      py::arg("key"));
  table.def(
      "cell_text",
      [](const TableHandle& handle, const py::object& key) {
        Access access(handle.state);
        return TextOf(handle.Table().Cell(CellIndex(handle, key)));
      },
      "The cell at key as it is shown, without footnote marks; '' for no cell.", py::arg("key"));
  table.def("set_cell", &SetCell,
            "Stores value at key: a number (NaN: the missing mark), a str, or None to remove the "
            "cell. decimals fixes how many decimals a number shows.",
            py::arg("key"), py::arg("value"), py::kw_only(), py::arg("decimals") = py::none());
  table.def("__getitem__", [](const TableHandle& handle, const py::object& key) {
    Access access(handle.state);
    return CellValue(handle.Table().Cell(CellIndex(handle, key)));
  });
  table.def("__setitem__",
            [](const TableHandle& handle, const py::object& key, const py::object& value) {
              SetCell(handle, key, value, py::none());
            });
  table.def("__delitem__", [](const TableHandle& handle, const py::object& key) {
    SetCell(handle, key, py::none(), py::none());
  });
  table.def(
      "cells",
      [](const TableHandle& handle) {
        Access access(handle.state);
        py::list cells;
        for (auto cell = handle.Table().FirstCell(); cell.Cell() != nullptr; ++cell) {
          cells.append(py::make_tuple(py::tuple(py::cast(cell.Index())), CellValue(cell.Cell())));
        }
        return cells;
      },
      "Every stored cell as (index, value), dimension 0 varying fastest.");
  table.def_property_readonly(
      "shape",
      [](const TableHandle& handle) {
        Access access(handle.state);
        return py::tuple(py::cast(handle.Table().SizeVector()));
      },
      "The category count of every dimension.");
  table.def(
      "add_footnote",
      [](const TableHandle& handle, const std::string& text, const py::object& cell) {
        Access access(handle.state);
        OmPivotTable& table = handle.Table();
        OmCellText* target = nullptr;
        if (!cell.is_none()) {
          target = table.Cell(CellIndex(handle, cell));
          if (target == nullptr) throw py::value_error("there is no cell to mark at that index");
        }
        const OmStringCell footnoteText = MakeText(text);
        const int number = table.Footnote(OmFootnote(&footnoteText, nullptr, nullptr), false);
        if (target != nullptr) target->Footnotes().push_back(static_cast<short>(number));
        return number;
      },
      "Adds a footnote to the table (a footnote of the same text is reused) and marks the cell "
      "at cell with it; returns its number.",
      py::arg("text"), py::kw_only(), py::arg("cell") = py::none());
  table.def_property_readonly(
      "footnotes",
      [](const TableHandle& handle) {
        Access access(handle.state);
        std::vector<std::string> texts;
        for (const OmFootnote& footnote : handle.Table().Footnotes()) {
          texts.push_back(TextOf(footnote.Text()));
        }
        return texts;
      },
      "The footnotes' texts; a footnote's number is its place here.");
  table.def(
      "cell_footnotes",
      [](const TableHandle& handle, const py::object& key) {
        Access access(handle.state);
        OmPivotTable& table = handle.Table();
        const OmCellText* cell = table.Cell(CellIndex(handle, key));
        std::vector<int> numbers;
        if (cell != nullptr) numbers.assign(cell->Footnotes().begin(), cell->Footnotes().end());
        return numbers;
      },
      "The numbers of the footnotes that mark the cell at key.", py::arg("key"));
}

void DefineLayout(py::class_<TableHandle, ItemHandle>& table) {
  for (int a = 0; a < 3; ++a) {
    table.def_property_readonly(
        kAxisNames[a],
        [a](const TableHandle& handle) {
          Access access(handle.state);
          Axes axes = AxesOf(handle.Table());
          return Dimensions(handle, AxisList(axes, kAxisNames[a]));
        },
        "The dimensions on this axis, outermost first.");
  }
  table.def(
      "pivot",
      [](const TableHandle& handle, const std::optional<py::list>& rows,
         const std::optional<py::list>& columns, const std::optional<py::list>& layers) {
        Access access(handle.state);
        OmPivotTable& table = handle.Table();
        Axes axes = AxesOf(table);
        const std::optional<py::list>* given[] = {&rows, &columns, &layers};
        std::vector<int> moved;
        for (int a = 0; a < 3; ++a) {
          if (!*given[a]) continue;
          std::vector<int>& list = AxisList(axes, kAxisNames[a]);
          list.clear();
          for (const auto& key : **given[a])
            list.push_back(DimensionNumber(table, key));
          moved.insert(moved.end(), list.begin(), list.end());
        }
        // Dimensions named for one axis leave the axes that were not given.
        for (int a = 0; a < 3; ++a) {
          if (*given[a]) continue;
          std::vector<int>& list = AxisList(axes, kAxisNames[a]);
          list.erase(
              std::remove_if(list.begin(), list.end(),
                             [&](int d) { return std::count(moved.begin(), moved.end(), d) > 0; }),
              list.end());
        }
        SetAxes(table, axes);
      },
      "Sets the dimensions of the axes given, outermost first (Dimensions, numbers or names). "
      "Dimensions named leave the axes not given; afterwards every dimension must stand on "
      "exactly one axis.",
      py::kw_only(), py::arg("rows") = py::none(), py::arg("columns") = py::none(),
      py::arg("layers") = py::none());
  table.def(
      "move",
      [](const TableHandle& handle, const py::object& dimension, const std::string& axis,
         const std::optional<int>& position) {
        Access access(handle.state);
        OmPivotTable& table = handle.Table();
        const int number = DimensionNumber(table, dimension);
        Axes axes = AxesOf(table);
        std::vector<int>& target = AxisList(axes, axis);
        for (auto* list : {&axes.rows, &axes.columns, &axes.layers}) {
          list->erase(std::remove(list->begin(), list->end(), number), list->end());
        }
        const int size = static_cast<int>(target.size());
        const int at = position.value_or(size);
        if (at < 0 || at > size) {
          throw py::index_error("position " + std::to_string(at) + " out of range 0.." +
                                std::to_string(size));
        }
        target.insert(target.begin() + at, number);
        SetAxes(table, axes);
      },
      "Moves a dimension to axis ('rows', 'columns' or 'layers') at position, counted from "
      "the outermost (default: innermost).",
      py::arg("dimension"), py::arg("axis"), py::arg("position") = py::none());
  table.def(
      "transpose",
      [](const TableHandle& handle) {
        Access access(handle.state);
        handle.Table().Rows().swap(handle.Table().Columns());
      },
      "Swaps the row and column dimensions.");
}

void DefineTableClass(py::module_& module) {
  py::class_<TableHandle, ItemHandle> table(module, "Table", "A pivot table of a document.");
  table.def_property(
      "title",
      [](const TableHandle& handle) {
        Access access(handle.state);
        return OptionalText(handle.Table().GetTableTitle());
      },
      [](const TableHandle& handle, const std::string& title) {
        Access access(handle.state);
        handle.Table().SetTableTitle(MakeText(title));
      },
      "The title shown above the table; None until set, when the label shows.");
  table.def_property(
      "caption",
      [](const TableHandle& handle) {
        Access access(handle.state);
        return OptionalText(handle.Table().Caption());
      },
      [](const TableHandle& handle, const std::optional<std::string>& text) {
        Access access(handle.state);
        const OmStringCell caption = MakeText(text.value_or(""));
        handle.Table().Caption(text ? &caption : nullptr);
      },
      "The caption shown below the table, or None.");
  table.def_property(
      "corner_text",
      [](const TableHandle& handle) {
        Access access(handle.state);
        return OptionalText(handle.Table().CornerText());
      },
      [](const TableHandle& handle, const std::optional<std::string>& text) {
        Access access(handle.state);
        const OmStringCell corner = MakeText(text.value_or(""));
        handle.Table().CornerText(text ? &corner : nullptr);
      },
      "The text in the corner above the row labels, or None.");
  table.def_property_readonly(
      "dimensions",
      [](const TableHandle& handle) {
        Access access(handle.state);
        std::vector<int> all(handle.Table().NDimensions());
        for (std::size_t d = 0; d < all.size(); ++d)
          all[d] = static_cast<int>(d);
        return Dimensions(handle, all);
      },
      "The dimensions in the order of the cell indexes.");
  table.def(
      "dimension",
      [](const TableHandle& handle, const py::object& key) {
        Access access(handle.state);
        return DimensionHandle{handle.state, &handle.Table(), DimensionNumber(handle.Table(), key)};
      },
      "The dimension of that number or name.", py::arg("key"));
  table.def(
      "add_dimension",
      [](const TableHandle& handle, const std::string& name,
         const std::vector<std::string>& categories, const std::string& axis) {
        Access access(handle.state);
        OmPivotTable& table = handle.Table();
        if (table.FirstCell().Cell() != nullptr) {
          throw py::value_error("add every dimension before the first cell");
        }
        for (std::size_t i = 0; i < categories.size(); ++i) {
          if (std::count(categories.begin(), categories.begin() + i, categories[i]) > 0) {
            throw py::value_error("category '" + categories[i] + "' is named twice");
          }
        }
        Axes axes = AxesOf(table);
        std::vector<int>& list = AxisList(axes, axis);
        OmDimension& dimension = table.AddDimension(MakeText(name));
        const int number = static_cast<int>(table.NDimensions()) - 1;
        list.push_back(number);
        SetAxes(table, axes);
        for (const std::string& label : categories) {
          dimension.Child(dimension.Root(), MakeText(label), dimension.NumCategories(), false);
        }
        return DimensionHandle{handle.state, &table, number};
      },
      "Adds a dimension innermost on axis, with categories (labels) below its root. Add every "
      "dimension before the first cell.",
      py::arg("name"), py::arg("categories") = std::vector<std::string>(), py::kw_only(),
      py::arg("axis") = "rows");
  table.def(
      "_frame_data", &FrameData,
      "(row level names, row keys, layer level count, column level names, column keys, numbers, "
      "text cells).");
  table.def(
      "to_text",
      [](const TableHandle& handle, bool ascii, bool hideEmpty, bool namesInCorner) {
        omrender::Options options;
        options.ascii = ascii;
        options.hideEmpty = hideEmpty;
        options.namesInCorner = namesInCorner;
        return WithoutGil(handle.state, [&](OmOutputTree&) {
          return omrender::RenderTable(handle.Table(), options);
        });
      },
      "The table as plain text.", py::kw_only(), py::arg("ascii") = false,
      py::arg("hide_empty") = false, py::arg("names_in_corner") = false);
  table.def(
      "_html_page",
      [](const TableHandle& handle) {
        return WithoutGil(handle.state, [&](OmOutputTree&) { return TableHtml(handle.Table()); });
      },
      "An HTML page holding the table alone.");
  DefineCells(table);
  DefineLayout(table);
}

}  // namespace

void DefineTable(py::module_& module) {
  DefineDimension(module);
  DefineTableClass(module);
}

}  // namespace ombind
