// Tests of the formats' stream writers: each writes to a stream what its
// string form returns, the goldens included (read here, written only by
// the string forms' tests), and writes it in pieces, one row of a table at
// a time, never a whole table or document in one write.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "Demo.h"
#include "Document.h"
#include "Html.h"
#include "Latex.h"
#include "Markdown.h"
#include "Text.h"
#include "TidyCsv.h"

namespace {

using Options = omrender::Options;

// A format's two forms: writing to a stream, and returning a string.
struct Format {
  const char* name;
  std::function<void(OmOutputTree&, const Options&, std::ostream&)> stream;
  std::function<std::string(OmOutputTree&, const Options&)> string;
};

std::vector<Format> Formats() {
  return {
      {"text",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omrender::RenderDocument(tree, options, out);
       },
       [](OmOutputTree& tree, const Options& options) {
         return omrender::RenderDocument(tree, options);
       }},
      {"html",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omrender::RenderHtml(tree, options, "Demo", out);
       },
       [](OmOutputTree& tree, const Options& options) {
         return omrender::RenderHtml(tree, options, "Demo");
       }},
      {"markdown",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omrender::RenderMarkdown(tree, options, out);
       },
       [](OmOutputTree& tree, const Options& options) {
         return omrender::RenderMarkdown(tree, options);
       }},
      {"latex",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omrender::RenderLatex(tree, options, false, out);
       },
       [](OmOutputTree& tree, const Options& options) {
         return omrender::RenderLatex(tree, options, false);
       }},
      {"latex standalone",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omrender::RenderLatex(tree, options, true, out);
       },
       [](OmOutputTree& tree, const Options& options) {
         return omrender::RenderLatex(tree, options, true);
       }},
      {"tidy csv",
       [](OmOutputTree& tree, const Options&, std::ostream& out) {
         omrender::RenderTidyCsv(tree, out);
       },
       [](OmOutputTree& tree, const Options&) { return omrender::RenderTidyCsv(tree); }},
      {"json",
       [](OmOutputTree& tree, const Options& options, std::ostream& out) {
         omdoc::Save(tree, out, omdoc::SaveOptions{true, options});
       },
       [](OmOutputTree& tree, const Options& options) {
         return omdoc::Save(tree, omdoc::SaveOptions{true, options});
       }},
  };
}

std::string Streamed(const Format& format, OmOutputTree& tree, const Options& options) {
  std::ostringstream out;
  format.stream(tree, options, out);
  return out.str();
}

std::string ReadGolden(const std::string& name) {
  std::ifstream file(std::string(OMTREE_GOLDEN_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

Options MakeOptions(bool ascii, bool hideEmpty, bool namesInCorner, int layer) {
  Options options;
  options.ascii = ascii;
  options.hideEmpty = hideEmpty;
  options.namesInCorner = namesInCorner;
  options.layer = layer;
  return options;
}

TEST(StreamWriters, DemoAsTheStringFormsAndGoldens) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  const Options variants[] = {Options(), MakeOptions(true, true, true, -1),
                              MakeOptions(false, false, false, 3),
                              MakeOptions(false, true, true, 1)};
  for (const Format& format : Formats()) {
    for (const Options& options : variants) {
      EXPECT_EQ(Streamed(format, *demo, options), format.string(*demo, options))
          << format.name << ", hideEmpty " << options.hideEmpty << ", layer " << options.layer;
    }
  }
  const Format text = Formats()[0];
  EXPECT_EQ(Streamed(text, *demo, Options()), ReadGolden("demo.txt"));
  EXPECT_EQ(Streamed(text, *demo, MakeOptions(true, true, true, -1)),
            ReadGolden("demo-ascii-hide-empty-names.txt"));
  EXPECT_EQ(Streamed(text, *demo, MakeOptions(true, true, true, 3)),
            ReadGolden("demo-ascii-layer-3.txt"));
  const Format html = Formats()[1];
  EXPECT_EQ(Streamed(html, *demo, Options()), ReadGolden("demo.html"));
  EXPECT_EQ(Streamed(html, *demo, MakeOptions(false, true, true, 3)),
            ReadGolden("demo-hide-empty-names-layer-3.html"));
  std::ostringstream json;
  omdoc::Save(*demo, json, omdoc::SaveOptions{true, MakeOptions(false, true, true, 1)});
  EXPECT_EQ(json.str(), ReadGolden("demo-hide-empty-names-layer-1.json"));
}

TEST(StreamWriters, OneTableAsTheStringForm) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  int tables = 0;
  for (const auto& entry : demo->List()) {
    auto* table = dynamic_cast<OmPivotTable*>(entry.item);
    if (table == nullptr) continue;
    ++tables;
    std::ostringstream out;
    omrender::RenderTable(*table, Options(), out, "    ");
    EXPECT_EQ(out.str(), omrender::RenderTable(*table, Options(), "    "));
  }
  EXPECT_GT(tables, 1);
}

// A stream buffer without a buffer of its own, so that each write of a
// writer reaches it as one piece: it keeps the text and the largest piece.
class PieceBuffer : public std::streambuf {
 public:
  const std::string& text() const { return _text; }
  std::size_t largest() const { return _largest; }

 protected:
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    _text.append(text, static_cast<std::size_t>(count));
    _largest = std::max(_largest, static_cast<std::size_t>(count));
    return count;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    _text += traits_type::to_char_type(c);
    _largest = std::max<std::size_t>(_largest, 1);
    return c;
  }

 private:
  std::string _text;
  std::size_t _largest = 0;
};

// A document of one table: 20 x 30 rows under two row dimensions, 12
// columns, two layers; every cell filled.
std::unique_ptr<OmOutputTree> LargeDocument() {
  const OmStringCell name("Dimension", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(name, name, false);
  const int sizes[] = {20, 30, 12, 2};
  for (int size : sizes) {
    OmDimension& dimension = table->AddDimension(name);
    for (int i = 0; i < size; ++i) {
      dimension.AddNewChild(dimension.Root(), OmStringCell("c" + std::to_string(i), nullptr, false),
                            static_cast<std::size_t>(i), false);
    }
  }
  OmNumber value(1.25);
  value.SetDecimals(2);
  for (int l = 0; l < sizes[3]; ++l) {
    for (int c = 0; c < sizes[2]; ++c) {
      for (int o = 0; o < sizes[1]; ++o) {
        for (int i = 0; i < sizes[0]; ++i)
          table->Cell({i, o, c, l}, value);
      }
    }
  }
  table->Rows().push_back(0);
  table->Rows().push_back(1);
  table->Columns().push_back(2);
  table->Layers().push_back(3);
  table->EndTable();
  auto tree = std::make_unique<OmOutputTree>();
  tree->Root().AppendChild(table.release());
  return tree;
}

TEST(StreamWriters, WriteInPiecesOfARow) {
  const std::unique_ptr<OmOutputTree> document = LargeDocument();
  for (const Format& format : Formats()) {
    PieceBuffer pieces;
    std::ostream out(&pieces);
    format.stream(*document, Options(), out);
    EXPECT_EQ(pieces.text(), format.string(*document, Options())) << format.name;
    // A row of 12 cells takes a few hundred bytes in any format; the JSON
    // writer writes once its buffer holds 64 KiB, with the piece that took
    // it there.
    const std::size_t limit = format.name == std::string("json") ? 65 * 1024 : 2048;
    EXPECT_LE(pieces.largest(), limit) << format.name;
    EXPECT_GT(pieces.text().size(), 2 * limit) << format.name;
  }
}

}  // namespace
