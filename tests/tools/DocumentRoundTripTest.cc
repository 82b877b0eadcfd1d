// The save/load round trip of output documents (tools/documents/Document.h)
// as a property: for the random documents of many seeds, a saved document
// loads as the same document, field by field, and saving the loaded
// document gives the same text again. The documents come from the test
// support's generator and are compared by its deep comparison, which reads
// the getters and never the format's own code. A document with chains of
// 100,000 levels takes the same path.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "tests/tools/DocumentModel.h"
#include "tools/documents/Document.h"

namespace {

using document_test::ExpectSameDocument;
using document_test::RandomDocument;
using document_test::RandomDocumentOptions;

// Enough seeds to reach every case of the generator many times over while
// the test runs in a few seconds in a release build (about 2.5 ms a seed).
constexpr std::uint32_t kSeeds = 1000;

// Line number (from 1) of the line of text that holds byte offset, and
// that line, without its end.
std::pair<std::size_t, std::string> LineAt(const std::string& text, std::size_t offset) {
  const std::size_t start = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;
  const std::size_t end = std::min(text.find('\n', start), text.size());
  const std::size_t line =
      1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + start, '\n'));
  return {line, text.substr(start, end - start)};
}

// Two saved texts, compared by their first differing line: a whole
// document in a message would be unreadable.
void ExpectSameText(const std::string& first, const std::string& second) {
  if (first == second) return;
  std::size_t at = 0;
  while (at < first.size() && at < second.size() && first[at] == second[at])
    ++at;
  const auto [line, firstLine] = LineAt(first, std::min(at, first.size()));
  ADD_FAILURE() << "the texts differ from line " << line << " on (" << first.size() << " vs "
                << second.size()
                << " bytes):\n  first:  " << document_test::internal::Excerpt(firstLine)
                << "\n  second: " << document_test::internal::Excerpt(LineAt(second, at).second);
}

// Loads text, reporting a rejection with the line it points to.
std::unique_ptr<OmOutputTree> LoadOrReport(const std::string& text, const std::string& name) {
  try {
    return omdoc::Load(text, name);
  } catch (const omdoc::LoadError& error) {
    std::size_t offset = 0;
    for (std::uint64_t line = 1; line < error.line() && offset < text.size(); ++line)
      offset = std::min(text.find('\n', offset), text.size()) + 1;
    ADD_FAILURE() << "Load rejected a saved document: " << error.what() << "\n  at line: "
                  << document_test::internal::Excerpt(
                         LineAt(text, std::min(offset, text.size())).second);
    return nullptr;
  }
}

// Saves document, loads the text, compares the two documents, and saves
// the loaded one to compare the texts.
void ExpectRoundTrip(OmOutputTree& document) {
  const std::string text = omdoc::Save(document);
  const std::unique_ptr<OmOutputTree> loaded = LoadOrReport(text, "random.json");
  if (loaded == nullptr) return;
  ExpectSameDocument(document, *loaded);
  ExpectSameText(text, omdoc::Save(*loaded));
}

TEST(DocumentRoundTrip, RandomDocuments) {
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::unique_ptr<OmOutputTree> document = RandomDocument(seed);
    ExpectRoundTrip(*document);
    // Saving needs a writable tree but must leave it as it was.
    ExpectSameDocument(*RandomDocument(seed), *document);
  }
}

// The stream forms agree with the string forms, and a document saved
// without its laid-out layers (a derived part that Load ignores) loads as
// the same document.
TEST(DocumentRoundTrip, StreamsAndLayerOption) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::unique_ptr<OmOutputTree> document = RandomDocument(seed);
    const std::string text = omdoc::Save(*document);
    std::ostringstream out;
    omdoc::Save(*document, out);
    EXPECT_TRUE(out.good());
    ExpectSameText(text, out.str());

    std::istringstream in(text);
    const std::unique_ptr<OmOutputTree> fromStream = omdoc::Load(in, "stream.json");
    ExpectSameDocument(*document, *fromStream);

    omdoc::SaveOptions options;
    options.withLayers = false;
    const std::unique_ptr<OmOutputTree> withoutLayers =
        LoadOrReport(omdoc::Save(*document, options), "no-layers.json");
    if (withoutLayers != nullptr) ExpectSameDocument(*document, *withoutLayers);
  }
}

// An outline chain, a category chain and a composite part chain of 100,000
// levels each.
TEST(DocumentRoundTrip, DeepChains) {
  RandomDocumentOptions options;
  options.items = 10;
  options.deepLevels = 100000;
  const std::unique_ptr<OmOutputTree> document = RandomDocument(11, options);
  ExpectRoundTrip(*document);
}

}  // namespace
