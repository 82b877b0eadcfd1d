// Documents and their outline items: building, walking, opening, saving and
// rendering in every format of omtree-view.

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "Binding.h"
#include "Document.h"
#include "Html.h"
#include "Latex.h"
#include "Markdown.h"
#include "Pivot.h"
#include "Text.h"
#include "TidyCsv.h"
#include "Xlsx.h"

namespace ombind {

namespace {

using Position = ListTree<OmOutputPart*>::Position;

// The kind of an item, as Python names it.
class KindOf : public OmOutputPart::Visitor {
 public:
  void Visit(OmModel&) override { kind = "model"; }
  void Visit(OmAnswerTree&) override { kind = "answer_tree"; }
  void Visit(OmChart&) override { kind = "chart"; }
  void Visit(OmPageTitle&) override { kind = "page_title"; }
  void Visit(OmTextBlock&) override { kind = "text"; }
  void Visit(OmHeading&) override { kind = "heading"; }
  void Visit(OmProcedure&) override { kind = "procedure"; }
  void Visit(OmPivotTable&) override { kind = "table"; }

  const char* kind = "";
};

// "empty" for an entry without an item.
std::string Kind(OmOutputPart* part) {
  if (part == nullptr) return "empty";
  KindOf visitor;
  part->Accept(visitor);
  return visitor.kind;
}

// The renderers' options; layer None shows every layer.
omrender::Options MakeOptions(bool ascii, bool hideEmpty, bool namesInCorner,
                              std::optional<int> layer) {
  if (layer && *layer < 0)
    throw py::value_error("layer must be a layer number (0 or more) or None");
  omrender::Options options;
  options.ascii = ascii;
  options.hideEmpty = hideEmpty;
  options.namesInCorner = namesInCorner;
  options.layer = layer.value_or(-1);
  return options;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw OsError(errno, path + ": " + std::strerror(errno));
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw OsError(errno, path + ": cannot write: " + std::strerror(errno));
}

StatePtr OpenDocument(const std::string& path) {
  return Adopt(Released([&] {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw OsError(errno, path + ": cannot open: " + std::strerror(errno));
    return omdoc::Load(in, path);
  }));
}

// The entries directly below item, in outline order.
std::vector<py::object> Children(const ItemHandle& item) {
  Access access(item.state);
  std::vector<py::object> children;
  const auto node = item.Node(access.Tree());
  for (auto child = node.FirstChild(); child != node.ChildrenEnd(); child.NextSibling()) {
    children.push_back(WrapItem(item.state, child.ListPosition()));
  }
  return children;
}

// Appends item below parent (the root when None) and returns its handle.
py::object Append(const StatePtr& state, const py::object& parent, OmOutputPart* part) {
  std::unique_ptr<OmOutputPart> owned(part);
  Position position;
  {
    Access access(state);
    auto node = access.Tree().Root();
    if (!parent.is_none()) {
      const auto& handle = parent.cast<const ItemHandle&>();
      if (handle.state != state) throw py::value_error("the parent belongs to another document");
      const std::string kind = Kind(handle.Part());
      if (kind != "heading" && kind != "procedure") {
        throw py::value_error("items hang below headings and procedures only");
      }
      node = handle.Node(access.Tree());
    }
    position = node.AppendChild(owned.release()).ListPosition();
  }
  return WrapItem(state, position);
}

std::vector<std::string> TextLines(const ItemHandle& item) {
  Access access(item.state);
  auto* block = dynamic_cast<OmTextBlock*>(item.Part());
  if (block == nullptr) throw py::attribute_error("only text blocks have lines");
  return {block->TextList().begin(), block->TextList().end()};
}

std::string Command(const ItemHandle& item) {
  Access access(item.state);
  auto* procedure = dynamic_cast<OmProcedure*>(item.Part());
  if (procedure == nullptr) throw py::attribute_error("only procedures have a command");
  return procedure->Command();
}

void DefineItem(py::module_& module) {
  py::class_<ItemHandle>(module, "Item",
                         "An entry of a document's outline: a heading, procedure, text block, "
                         "page title, pivot table, chart, model or answer tree.")
      .def_property_readonly(
          "kind",
          [](const ItemHandle& item) {
            Access access(item.state);
            return Kind(item.Part());
          },
          "'heading', 'procedure', 'text', 'page_title', 'table', 'chart', 'model', "
          "'answer_tree', or 'empty' for an outline entry without an item.")
      .def_property_readonly(
          "label",
          [](const ItemHandle& item) {
            Access access(item.state);
            return item.Part() == nullptr ? "" : TextOf(item.Part()->OutlineText());
          },
          "The text the outline shows for the item.")
      .def_property_readonly(
          "level",
          [](const ItemHandle& item) {
            Access access(item.state);
            return item.position->level;
          },
          "The depth in the outline: 0 for the root, 1 for the items below it.")
      .def_property_readonly("children", &Children, "The items directly below this one.")
      .def_property_readonly(
          "parent",
          [](const ItemHandle& item) -> py::object {
            Access access(item.state);
            const auto node = item.Node(access.Tree());
            if (node.Level() == 0) return py::none();
            return WrapItem(item.state, node.Parent().ListPosition());
          },
          "The item this one hangs below, None for the root.")
      .def_property_readonly("lines", &TextLines, "A text block's lines.")
      .def_property_readonly("command", &Command, "A procedure heading's command line.")
      .def("__eq__",
           [](const ItemHandle& a, const ItemHandle& b) {
             return a.state == b.state && a.position == b.position;
           })
      .def("__hash__",
           [](const ItemHandle& item) { return std::hash<const void*>()(&*item.position); });
}

void DefineRendering(py::class_<DocumentState, StatePtr>& document) {
  const auto defineRender = [](py::class_<DocumentState, StatePtr>& c, const char* name,
                               auto render, const char* doc) {
    c.def(
        name,
        [render](const StatePtr& state, bool ascii, bool hideEmpty, bool namesInCorner,
                 std::optional<int> layer) {
          const omrender::Options options = MakeOptions(ascii, hideEmpty, namesInCorner, layer);
          return WithoutGil(state, [&](OmOutputTree& tree) { return render(tree, options); });
        },
        doc, py::kw_only(), py::arg("ascii") = false, py::arg("hide_empty") = false,
        py::arg("names_in_corner") = false, py::arg("layer") = py::none());
  };
  defineRender(
      document, "to_text",
      [](OmOutputTree& tree, const omrender::Options& o) {
        return omrender::RenderDocument(tree, o);
      },
      "The document as plain text, tables drawn with box characters (ascii=True: + - |).");
  defineRender(
      document, "to_markdown",
      [](OmOutputTree& tree, const omrender::Options& o) {
        return omrender::RenderMarkdown(tree, o);
      },
      "The document as Markdown, tables as pipe tables.");
  defineRender(
      document, "to_json",
      [](OmOutputTree& tree, const omrender::Options& o) {
        return omdoc::Save(tree, omdoc::SaveOptions{true, o});
      },
      "The document in the JSON document format, as save() writes it.");
  document.def(
      "to_html",
      [](const StatePtr& state, const std::string& title, bool hideEmpty, bool namesInCorner,
         std::optional<int> layer) {
        const omrender::Options options = MakeOptions(false, hideEmpty, namesInCorner, layer);
        return WithoutGil(
            state, [&](OmOutputTree& tree) { return omrender::RenderHtml(tree, options, title); });
      },
      "The document as one standalone HTML page.", py::kw_only(), py::arg("title") = "",
      py::arg("hide_empty") = false, py::arg("names_in_corner") = false,
      py::arg("layer") = py::none());
  document.def(
      "to_latex",
      [](const StatePtr& state, bool standalone, bool hideEmpty, bool namesInCorner,
         std::optional<int> layer) {
        const omrender::Options options = MakeOptions(false, hideEmpty, namesInCorner, layer);
        return WithoutGil(state, [&](OmOutputTree& tree) {
          return omrender::RenderLatex(tree, options, standalone);
        });
      },
      "The document as LaTeX: a fragment to \\input, or with standalone=True a whole document.",
      py::kw_only(), py::arg("standalone") = false, py::arg("hide_empty") = false,
      py::arg("names_in_corner") = false, py::arg("layer") = py::none());
  document.def(
      "to_csv",
      [](const StatePtr& state) {
        return WithoutGil(state, [](OmOutputTree& tree) { return omrender::RenderTidyCsv(tree); });
      },
      "Every stored cell of every table as tidy CSV: a column per dimension, a 'value' column.");
  document.def(
      "_write_xlsx",
      [](const StatePtr& state, const std::string& path, const std::string& sheets, bool hideEmpty,
         bool namesInCorner, std::optional<int> layer) {
        omrender::XlsxOptions xlsx;
        if (sheets == "tables") {
          xlsx.sheets = omrender::XlsxOptions::Sheets::kTables;
        } else if (sheets != "document") {
          throw py::value_error("sheets must be 'document' or 'tables'");
        }
        const omrender::Options options = MakeOptions(false, hideEmpty, namesInCorner, layer);
        WithoutGil(state, [&](OmOutputTree& tree) {
          try {
            omrender::WriteXlsx(tree, options, xlsx, path);
          } catch (const omrender::XlsxError& error) {
            throw OsError(0, path + ": " + error.what());
          }
        });
      },
      py::arg("path"), py::kw_only(), py::arg("sheets") = "document", py::arg("hide_empty") = false,
      py::arg("names_in_corner") = false, py::arg("layer") = py::none());
}

void DefineBuilding(py::class_<DocumentState, StatePtr>& document) {
  document.def(
      "add_heading",
      [](const StatePtr& state, const std::string& text, const py::object& parent) {
        return Append(state, parent, new OmHeading(MakeText(text)));
      },
      "Appends a heading below parent (default: the root) and returns it.", py::arg("text"),
      py::kw_only(), py::arg("parent") = py::none());
  document.def(
      "add_procedure",
      [](const StatePtr& state, const std::string& text, const std::string& command,
         const py::object& parent) {
        auto* procedure = new OmProcedure(MakeText(text), "en", "UTF-8", "en_US");
        procedure->SetCommand(command);
        return Append(state, parent, procedure);
      },
      "Appends a procedure heading with its command line.", py::arg("text"), py::kw_only(),
      py::arg("command") = "", py::arg("parent") = py::none());
  document.def(
      "add_text",
      [](const StatePtr& state, const std::vector<std::string>& lines, const std::string& title,
         const py::object& parent) {
        auto* block = new OmTextBlock(MakeText(title), "UTF-8");
        block->TextList().assign(lines.begin(), lines.end());
        return Append(state, parent, block);
      },
      "Appends a text block of lines, titled title in the outline.", py::arg("lines"),
      py::kw_only(), py::arg("title") = "Text", py::arg("parent") = py::none());
  document.def(
      "add_table",
      [](const StatePtr& state, const std::string& label, const py::object& parent) {
        return Append(state, parent, new OmPivotTable(MakeText(label), MakeText("Table"), false));
      },
      "Appends an empty pivot table labelled label; add dimensions and cells to it.",
      py::arg("label"), py::kw_only(), py::arg("parent") = py::none());
}

void DefineFiles(py::module_& module, py::class_<DocumentState, StatePtr>& document) {
  module.def("_open", &OpenDocument, py::arg("path"));
  module.def(
      "_loads",
      [](const std::string& text, const std::string& name) {
        return Adopt(Released([&] { return omdoc::Load(text, name); }));
      },
      py::arg("text"), py::arg("name") = "<string>");
  document.def(
      "_save",
      [](const StatePtr& state, const std::filesystem::path& path) {
        WithoutGil(state, [&](OmOutputTree& tree) { WriteFile(path.string(), omdoc::Save(tree)); });
      },
      py::arg("path"));
  document.def(
      "_write_text",
      [](const StatePtr&, const std::string& path, const std::string& text) {
        py::gil_scoped_release release;
        WriteFile(path, text);
      },
      py::arg("path"), py::arg("text"));
}

}  // namespace

Access::Access(const StatePtr& state) : _state(*state), _lock(state->mutex) {
  if (_state.tree == nullptr) throw py::value_error("the document is closed");
}

StatePtr Adopt(std::unique_ptr<OmOutputTree> tree) {
  auto state = std::make_shared<DocumentState>();
  state->tree = std::move(tree);
  return state;
}

std::string TextOf(const OmCellText* text) {
  return text == nullptr ? "" : text->AsString();
}

OmStringCell MakeText(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

py::object WrapItem(const StatePtr& state, Position position) {
  if (dynamic_cast<OmPivotTable*>(position->item) != nullptr) {
    return py::cast(TableHandle{{state, position}});
  }
  return py::cast(ItemHandle{state, position});
}

void DefineDocument(py::module_& module) {
  DefineItem(module);
  py::class_<DocumentState, StatePtr> document(
      module, "Document",
      "An output document: an outline of headings, text blocks and "
      "pivot tables.");
  document.def(py::init([] { return Adopt(std::make_unique<OmOutputTree>()); }));
  document.def_property_readonly(
      "root",
      [](const StatePtr& state) {
        Position root;
        {
          Access access(state);
          root = access.Tree().Root().ListPosition();
        }
        return WrapItem(state, root);
      },
      "The root heading, 'Output'.");
  document.def_property_readonly(
      "items",
      [](const StatePtr& state) {
        std::vector<Position> positions;
        {
          Access access(state);
          auto& list = access.Tree().List();
          for (auto p = list.begin(); p != list.end(); ++p) {
            if (p->level > 0) positions.push_back(p);
          }
        }
        std::vector<py::object> items;
        for (Position p : positions)
          items.push_back(WrapItem(state, p));
        return items;
      },
      "Every item below the root, in outline order.");
  document.def(
      "close",
      [](const StatePtr& state) {
        std::unique_ptr<OmOutputTree> tree;
        {
          std::lock_guard<std::mutex> lock(state->mutex);
          tree = std::move(state->tree);
        }
      },
      "Frees the document now; its items, tables and categories raise ValueError afterwards.");
  document.def_property_readonly("closed", [](const StatePtr& state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->tree == nullptr;
  });
  document.def(
      "transpose",
      [](const StatePtr& state) {
        Access access(state);
        return omdoc::Transpose(access.Tree());
      },
      "Swaps the rows and columns of every table; returns the number of tables.");
  DefineBuilding(document);
  DefineRendering(document);
  DefineFiles(module, document);
}

}  // namespace ombind
