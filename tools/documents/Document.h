// Saved output documents: the lossless JSON document format (version 2) and
// its reader, written against the library's public interface only. A
// document saved here and loaded again is the same document, item by item
// and cell by cell: the outline with every item kind and its fields, every
// cell kind with its footnotes, markers and metadata, every second form of
// a text, whole category trees, the axis lists, annotations, display
// properties, area formats, back-end settings and payload bytes. Not kept
// are the viewer's opaque client data and the few values that the library's
// interface does not hand out (docs/json.md lists them). docs/json.md
// describes the format field by field; docs/json-schema.json is its schema.
//
// Saving writes as it goes, never holding the whole text. Each pivot table
// may also carry its layers laid out as the renderers lay them out under
// SaveOptions::layout: a derived part for other programs, which Load
// ignores.
//
// Loading never recurses on the document's depth, holds memory in
// proportion to the document, and checks everything it builds (kinds are
// known, counts match, every subscript of a cell names a leaf of its
// dimension, ...). A document is loaded whole or not at all.
//
// The functions keep no state between calls and may run on several threads
// at once for different documents.

#ifndef OMTREE_TOOLS_DOCUMENTS_DOCUMENT_H_
#define OMTREE_TOOLS_DOCUMENTS_DOCUMENT_H_

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omdoc {

// The newest format version that Save writes and Load reads. Load reads
// version 1 too, where a document carries enough (see docs/json.md).
constexpr int kFormatVersion = 2;

struct SaveOptions {
  // Whether each pivot table carries its laid-out layers, and how they are
  // laid out (hideEmpty, namesInCorner and layer; ascii plays no part).
  bool withLayers = true;
  omrender::Options layout;
};

// Writes tree to out as a version 2 document. The text is UTF-8, one value
// per line but one line per cell, indented by two spaces a level (the
// indent stops growing past 32 levels), ends with a newline, and is the
// same for the same document.
// Leaves out nothing the model's interface shows but what docs/json.md
// lists (the tree is not changed; laying out layers needs it writable);
// never fails on the document's content. Stream errors show in out's state.
void Save(OmOutputTree& tree, std::ostream& out, const SaveOptions& options = {});
std::string Save(OmOutputTree& tree, const SaveOptions& options = {});

// Bad input to Load. what() reads "NAME:LINE:COLUMN: what" and, where the
// fault lies in a value, " (at /json/pointer)" after it, the JSON pointer
// of the offending value (for instance "/items/0/children/3/cells/17/index/0").
// Lines and columns count from 1; columns count characters (UTF-8 sequences).
class LoadError : public std::runtime_error {
 public:
  LoadError(const std::string& message, std::uint64_t line, std::uint64_t column,
            std::string pointer)
      : std::runtime_error(message), _line(line), _column(column), _pointer(std::move(pointer)) {}
  std::uint64_t line() const { return _line; }
  std::uint64_t column() const { return _column; }
  // The JSON pointer of the offending value, or "" when the fault is in the
  // text itself (a syntax error, an end too early).
  const std::string& pointer() const { return _pointer; }

 private:
  std::uint64_t _line;
  std::uint64_t _column;
  std::string _pointer;
};

// Reads a version 1 or 2 document from text (or from all of in). name stands
// for the document in messages: its file name, or any label. Throws
// LoadError on bad input, and std::bad_alloc when memory runs out. A stream
// that fails while it is read gives a LoadError "NAME: cannot read the
// document", with line and column 0.
std::unique_ptr<OmOutputTree> Load(std::string_view text, const std::string& name);
std::unique_ptr<OmOutputTree> Load(std::istream& in, const std::string& name);

}  // namespace omdoc

#endif  // OMTREE_TOOLS_DOCUMENTS_DOCUMENT_H_
