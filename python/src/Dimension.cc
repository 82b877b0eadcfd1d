// Dimensions and their categories: reading the category trees and editing
// them (adding, renaming, hiding, grouping and removing categories).

#include <pybind11/stl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "Binding.h"

namespace ombind {

namespace {

using Node = OmDimension::Node;

bool Matches(const Node& node, const PathStep& step) {
  return node->IsGroup() == step.group && TextOf(node->Text()) == step.label;
}

std::string Describe(const std::vector<PathStep>& path) {
  std::string text;
  for (const PathStep& step : path)
    text += (text.empty() ? "'" : " / '") + step.label + "'";
  return text;
}

std::vector<py::object> CategoriesOf(const DimensionHandle& dimension, Node parent) {
  std::vector<py::object> categories;
  for (int i = 0; i < parent.NumChildren(); ++i) {
    categories.push_back(py::cast(MakeCategory(dimension, parent.Child(i))));
  }
  return categories;
}

// The node where a new child of parent goes. REQUIRES: parent is a group
// without a child of that label and kind (else ValueError).
Node AddChild(const CategoryHandle& parent, const std::string& label, bool group, bool hidden) {
  OmDimension& dimension = parent.dimension.Dimension();
  const Node node = parent.Resolve();
  if (!node->IsGroup()) {
    throw py::value_error("category '" + label + "' must go below a group, not below a category");
  }
  const OmStringCell text = MakeText(label);
  if (OmDimension::FindChild(node, text, group) >= 0) {
    throw py::value_error("dimension '" + TextOf(&dimension.Name()) + "' already has a " +
                          (group ? "group" : "category") + " '" + label + "' there");
  }
  const std::size_t subscript =
      group ? OmDimensionNode::kNoSubscript : static_cast<std::size_t>(dimension.NumCategories());
  Node child = dimension.Child(node, text, subscript, group);
  child->Hide(hidden);
  return child;
}

// Removes every cell of table whose subscript along dimension is one of
// subscripts, so that no cell is left without its category.
void DeleteCells(OmPivotTable& table, int dimension, const std::vector<int>& subscripts) {
  std::vector<std::vector<int>> doomed;
  for (auto cell = table.FirstCell(); cell.Cell() != nullptr; ++cell) {
    std::vector<int> index = cell.Index();
    if (std::find(subscripts.begin(), subscripts.end(), index[dimension]) != subscripts.end()) {
      doomed.push_back(std::move(index));
    }
  }
  for (const auto& index : doomed)
    table.deleteCell(index);
}

void Remove(const CategoryHandle& category) {
  Access access(category.dimension.state);
  Node node = category.Resolve();
  if (node.IsRoot()) throw py::value_error("a dimension's root cannot be removed");
  std::vector<int> subscripts;
  if (node->IsGroup()) {
    // The group's own leaves, found through a dimension-wide walk filtered
    // by ancestry.
    ForEachLeaf(category.dimension.Dimension(), [&](const Node& leaf, const auto&) {
      for (Node up = leaf; !up.IsRoot(); up = up.Parent()) {
        if (up == node) subscripts.push_back(static_cast<int>(leaf->Subscript()));
      }
    });
  } else {
    subscripts.push_back(static_cast<int>(node->Subscript()));
  }
  DeleteCells(*category.dimension.table, category.dimension.number, subscripts);
  category.dimension.Dimension().Delete(node);
}

// Puts a new group labelled label over categories, siblings of one parent.
CategoryHandle Group(const DimensionHandle& dimension, const std::string& label,
                     const std::vector<CategoryHandle>& categories) {
  Access access(dimension.state);
  if (categories.empty()) throw py::value_error("a group needs at least one category");
  std::vector<Node> nodes;
  for (const auto& category : categories) {
    if (!category.dimension.Same(dimension)) {
      throw py::value_error("the categories to group must belong to this dimension");
    }
    nodes.push_back(category.Resolve());
    if (nodes.back().IsRoot() || nodes.back().Parent() != nodes.front().Parent()) {
      throw py::value_error("the categories to group must be siblings below one group");
    }
  }
  std::sort(nodes.begin(), nodes.end(),
            [](const Node& a, const Node& b) { return a.Offset() < b.Offset(); });
  if (std::adjacent_find(nodes.begin(), nodes.end()) != nodes.end()) {
    throw py::value_error("a category is named twice among the categories to group");
  }
  const Node parent = nodes.front().Parent();
  const OmStringCell text = MakeText(label);
  if (OmDimension::FindChild(parent, text, true) >= 0) {
    throw py::value_error("there is a group '" + label + "' there already");
  }
  const int offset = nodes.front().Offset();
  std::vector<int> offsets;  // the parent's path, to find it again after the edit
  for (Node up = parent; !up.IsRoot(); up = up.Parent())
    offsets.push_back(up.Offset());
  std::vector<Node*> pointers;
  for (Node& node : nodes)
    pointers.push_back(&node);
  OmDimension& d = dimension.Dimension();
  d.insertChild(text, pointers);
  // insertChild leaves the child indexes as they were: rebuild the two it
  // changed, so that lookups by label find every child again.
  Node newParent = d.Root();
  for (auto o = offsets.rbegin(); o != offsets.rend(); ++o)
    newParent = newParent.Child(*o);
  d.IndexChildren(newParent);
  const Node group = newParent.Child(offset);
  d.IndexChildren(group);
  return MakeCategory(dimension, group);
}

void DefineCategory(py::module_& module) {
  py::class_<CategoryHandle>(module, "Category",
                             "A category of a dimension, or a group of categories. Found again "
                             "by its path of labels on every use: after an edit that moves, "
                             "renames or removes it, this handle raises ValueError.")
      .def_property(
          "label",
          [](const CategoryHandle& c) {
            Access access(c.dimension.state);
            return TextOf(c.Resolve()->Text());
          },
          [](CategoryHandle& c, const std::string& label) {
            Access access(c.dimension.state);
            Node node = c.Resolve();
            if (!node.IsRoot() && label != TextOf(node->Text()) &&
                OmDimension::FindChild(node.Parent(), MakeText(label), node->IsGroup()) >= 0) {
              throw py::value_error("there is a '" + label + "' there already");
            }
            node->Text(MakeText(label));
            c = MakeCategory(c.dimension, node);
            // The parent's child index is ordered by label: rebuild it.
            if (!node.IsRoot()) c.dimension.Dimension().IndexChildren(node.Parent());
          },
          "The label; setting it renames the category (other handles to it then raise).")
      .def_property_readonly("is_group",
                             [](const CategoryHandle& c) {
                               Access access(c.dimension.state);
                               return c.Resolve()->IsGroup();
                             })
      .def_property(
          "hidden",
          [](const CategoryHandle& c) {
            Access access(c.dimension.state);
            return c.Resolve()->Hide();
          },
          [](const CategoryHandle& c, bool hidden) {
            Access access(c.dimension.state);
            c.Resolve()->Hide(hidden);
          },
          "Whether it is hidden: a hidden category's rows or columns are not shown, a hidden "
          "group shows its categories without its label.")
      .def_property_readonly(
          "subscript",
          [](const CategoryHandle& c) -> py::object {
            Access access(c.dimension.state);
            const Node node = c.Resolve();
            if (node->IsGroup()) return py::none();
            return py::int_(node->Subscript());
          },
          "The category's position along the dimension in cell indexes; None for a group.")
      .def_property_readonly(
          "path",
          [](const CategoryHandle& c) {
            Access access(c.dimension.state);
            c.Resolve();
            std::vector<std::string> labels;
            for (const PathStep& step : c.path)
              labels.push_back(step.label);
            return py::tuple(py::cast(labels));
          },
          "The labels from the dimension's outermost group down to this one.")
      .def_property_readonly("children",
                             [](const CategoryHandle& c) {
                               Access access(c.dimension.state);
                               return CategoriesOf(c.dimension, c.Resolve());
                             })
      .def_property_readonly("parent",
                             [](const CategoryHandle& c) -> py::object {
                               Access access(c.dimension.state);
                               const Node node = c.Resolve();
                               if (node.IsRoot()) return py::none();
                               return py::cast(MakeCategory(c.dimension, node.Parent()));
                             })
      .def_property_readonly("dimension", [](const CategoryHandle& c) { return c.dimension; })
      .def(
          "add_category",
          [](const CategoryHandle& c, const std::string& label, bool hidden) {
            Access access(c.dimension.state);
            return MakeCategory(c.dimension, AddChild(c, label, false, hidden));
          },
          "Adds a category below this group; its subscript is the next free one.", py::arg("label"),
          py::kw_only(), py::arg("hidden") = false)
      .def(
          "add_group",
          [](const CategoryHandle& c, const std::string& label) {
            Access access(c.dimension.state);
            return MakeCategory(c.dimension, AddChild(c, label, true, false));
          },
          "Adds an empty group below this group.", py::arg("label"))
      .def("remove", &Remove,
           "Removes the category, or the group with everything below it, and their cells.")
      .def("__eq__",
           [](const CategoryHandle& a, const CategoryHandle& b) {
             if (!a.dimension.Same(b.dimension)) return false;
             Access access(a.dimension.state);
             return a.Resolve() == b.Resolve();
           })
      .def("__repr__", [](const CategoryHandle& c) {
        return "<omtree.Category " + (c.path.empty() ? "(root)" : Describe(c.path)) + ">";
      });
}

void DefineDimensionClass(py::module_& module) {
  py::class_<DimensionHandle>(module, "Dimension",
                              "A dimension of a pivot table: a named tree of groups and "
                              "categories.")
      .def_property(
          "name",
          [](const DimensionHandle& d) {
            Access access(d.state);
            return TextOf(&d.Dimension().Name());
          },
          [](const DimensionHandle& d, const std::string& name) {
            Access access(d.state);
            d.Dimension().Root()->Text(MakeText(name));
          })
      .def_readonly("number", &DimensionHandle::number,
                    "The dimension's place in the table's cell indexes.")
      .def_property_readonly("root",
                             [](const DimensionHandle& d) {
                               Access access(d.state);
                               return MakeCategory(d, d.Dimension().Root());
                             })
      .def_property_readonly(
          "categories",
          [](const DimensionHandle& d) {
            Access access(d.state);
            std::vector<py::object> leaves;
            ForEachLeaf(d.Dimension(), [&](const Node& leaf, const auto&) {
              leaves.push_back(py::cast(MakeCategory(d, leaf)));
            });
            return leaves;
          },
          "Every category (not the groups), in display order, hidden ones too.")
      .def_property_readonly(
          "children",
          [](const DimensionHandle& d) {
            Access access(d.state);
            return CategoriesOf(d, d.Dimension().Root());
          },
          "The groups and categories directly below the dimension's root.")
      .def_property(
          "hidden",
          [](const DimensionHandle& d) {
            Access access(d.state);
            return d.Dimension().Root()->Hide();
          },
          [](const DimensionHandle& d, bool hidden) {
            Access access(d.state);
            d.Dimension().Root()->Hide(hidden);
          },
          "Whether the dimension's name is hidden.")
      .def("__len__",
           [](const DimensionHandle& d) {
             Access access(d.state);
             return d.Dimension().NumCategories();
           })
      .def(
          "add_category",
          [](const DimensionHandle& d, const std::string& label,
             const std::optional<CategoryHandle>& parent, bool hidden) {
            Access access(d.state);
            const CategoryHandle where = parent ? *parent : MakeCategory(d, d.Dimension().Root());
            if (!where.dimension.Same(d)) {
              throw py::value_error("the parent belongs to another dimension");
            }
            return MakeCategory(d, AddChild(where, label, false, hidden));
          },
          "Adds a category below parent (default: the root); its subscript is the next free "
          "one.",
          py::arg("label"), py::kw_only(), py::arg("parent") = py::none(),
          py::arg("hidden") = false)
      .def(
          "add_group",
          [](const DimensionHandle& d, const std::string& label,
             const std::optional<CategoryHandle>& parent) {
            Access access(d.state);
            const CategoryHandle where = parent ? *parent : MakeCategory(d, d.Dimension().Root());
            if (!where.dimension.Same(d)) {
              throw py::value_error("the parent belongs to another dimension");
            }
            return MakeCategory(d, AddChild(where, label, true, false));
          },
          "Adds an empty group below parent (default: the root).", py::arg("label"), py::kw_only(),
          py::arg("parent") = py::none())
      .def("group", &Group,
           "Puts a new group labelled label over categories (siblings), in the place of the "
           "first.",
           py::arg("label"), py::arg("categories"))
      .def("__repr__", [](const DimensionHandle& d) {
        if (d.state->tree == nullptr) return std::string("<omtree.Dimension of a closed document>");
        Access access(d.state);
        return "<omtree.Dimension " + std::to_string(d.number) + " '" +
               TextOf(&d.Dimension().Name()) + "'>";
      });
}

}  // namespace

Node CategoryHandle::Resolve() const {
  Node node = dimension.Dimension().Root();
  for (const PathStep& step : path) {
    if (step.offset >= 0 && step.offset < node.NumChildren() &&
        Matches(node.Child(step.offset), step)) {
      node = node.Child(step.offset);
      continue;
    }
    int found = -1;
    for (int i = 0; i < node.NumChildren() && found < 0; ++i) {
      if (Matches(node.Child(i), step)) found = i;
    }
    if (found < 0) {
      throw py::value_error("the category " + Describe(path) + " is no longer in dimension '" +
                            TextOf(&dimension.Dimension().Name()) + "'");
    }
    node = node.Child(found);
  }
  return node;
}

CategoryHandle MakeCategory(const DimensionHandle& dimension, Node node) {
  CategoryHandle category{dimension, {}};
  for (; !node.IsRoot(); node = node.Parent()) {
    category.path.push_back({TextOf(node->Text()), node->IsGroup(), node.Offset()});
  }
  std::reverse(category.path.begin(), category.path.end());
  return category;
}

void DefineDimension(py::module_& module) {
  DefineCategory(module);
  DefineDimensionClass(module);
}

}  // namespace ombind
