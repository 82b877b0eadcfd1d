// Internal to the document library: what the readers of version 1 and
// version 2 documents share. Both read a Tape and build through the
// library's public interface; each check fails through Tape::Fail, so
// that the only thing to leave a reader is a LoadError (or std::bad_alloc),
// and whatever a reader had built is destroyed on the way out.

#ifndef OMTREE_TOOLS_INPUTS_READER_H_
#define OMTREE_TOOLS_INPUTS_READER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Tape.h"
#include "backend/omtree/omtree.h"

namespace omdoc::internal {

// How deep composite texts may nest as parts of composites, the outermost
// counted. The library copies and destroys such nesting recursively, one
// call per level.
constexpr int kMaxCompositeNesting = 64;

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The keys every item has, followed by those of its kind.
std::vector<std::string_view> ItemKeys(std::initializer_list<std::string_view> kindKeys);

// One node of a category tree as read, the root first, then the others in
// pre-order.
struct CategoryRecord {
  std::unique_ptr<OmCellText> text;  // null for a node without a text
  std::uint32_t level = 0;           // 0 for the root
  bool group = false;
  std::size_t subscript = OmDimensionNode::kNoSubscript;
  bool hidden = false;
  bool hideLabels = false;
  OmSort::Order sort = OmSort::Unsorted;
  std::size_t token = 0;           // the node, for messages
  std::size_t subscriptToken = 0;  // its subscript, for messages
};

// Which subscripts name a leaf, per dimension of a table being read.
using LeafSubscripts = std::vector<std::vector<bool>>;

// Adds to table the dimension whose nodes are given, built node by node
// with AddNewChild, and returns which subscripts its leaves (the nodes
// that are not groups) hold. Checks first that the root has a text, that
// every leaf subscript is below 2 * leaves + 1024 (or one of the two
// markers kNoSubscript and kDissolving), and that the category count can
// be categoryCount: adding the leaves counts them; where it differs, the
// dimension recounts once (as a deletion does) at the earliest point in
// reading order that gives categoryCount; without such a point the
// document fails at countToken.
std::vector<bool> AddDimension(const Tape& tape, OmPivotTable& table,
                               std::vector<CategoryRecord>& nodes, std::int64_t categoryCount,
                               std::size_t countToken);

// The cell index at indexToken, checked: one subscript per dimension, each
// naming a leaf of its dimension. cell is the cell's object.
std::vector<int> CellIndex(const Tape& tape, std::size_t cell, std::size_t indexToken,
                           const LeafSubscripts& leaves);

// Stores a clone of text at index; fails at cell when a cell is there.
void SetCell(const Tape& tape, OmPivotTable& table, std::size_t cell, const std::vector<int>& index,
             const OmCellText& text);

// Whether text is a string cell holding bytes and nothing else: not a
// system text, no formatted form, no footnotes, markers or metadata.
bool IsPlainString(const OmCellText& text, const std::string& bytes);

// A chart whose outline text is text and whose code page is codePage. The
// chart's constructor converts its outline text into a code page it is
// given, while a saved text is the converted one already; where the
// conversion would change it, the chart is one that puts text back.
std::unique_ptr<OmChart> MakeChart(const OmCellText& text, const std::string& codePage);

// Calls append(data, size) for consecutive pieces of bytes that each fit
// an unsigned int.
void AppendInPieces(const std::string& bytes,
                    const std::function<void(const char*, unsigned int)>& append);

// The outline of a document: the items of the array at items, each with
// the items of its "children" below it, without recursion. build makes the
// item of an object (null for an entry without one) and sets children to
// the token of its children.
using ItemBuilder = std::function<std::unique_ptr<OmOutputPart>(std::size_t, std::size_t&)>;
std::unique_ptr<OmOutputTree> BuildOutline(const Tape& tape, std::size_t items,
                                           const ItemBuilder& build);

// The readers of each version, given the top object's "items".
std::unique_ptr<OmOutputTree> LoadVersion1(const Tape& tape, std::size_t items);
std::unique_ptr<OmOutputTree> LoadVersion2(const Tape& tape, std::size_t items);

}  // namespace omdoc::internal

#endif  // OMTREE_TOOLS_INPUTS_READER_H_
