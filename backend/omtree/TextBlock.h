// OmTextBlock is the outline item for plain text output: a list of lines,
// the code page they are written in, and a flag that marks the block as a
// log (its outline text reads exactly "Log"). The block never converts,
// joins or inspects its lines. Amputate leaves text blocks in place of the
// branches it cuts out.
//
// Copies are deep (the outline text is cloned; lines, flag and code page are
// copied by value). A block is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_TEXTBLOCK_H_
#define OMTREE_BACKEND_OMTREE_TEXTBLOCK_H_

#include <cstddef>
#include <list>
#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/OutputPart.h"

class OMTREE_EXPORT OmTextBlock : public OmOutputPart {
 public:
  // A block labelled text, with no lines, written in codePage. It is a log
  // when text.AsString() is exactly "Log" (case-sensitive, whole string).
  OmTextBlock(const OmCellText& text, const std::string& codePage);
  OmTextBlock(const OmTextBlock& other) = default;
  OmTextBlock& operator=(const OmTextBlock& other) = default;
  ~OmTextBlock() override;

  void Accept(Visitor& visitor) override;

  // The lines, one string per line, in order; callers fill and read them.
  std::list<std::string>& TextList() { return _textList; }
  std::size_t Size() const { return _textList.size(); }

  bool IsLog() const { return _isLog; }
  const std::string& LocaleCodePage() const { return _localeCodePage; }

 private:
  std::list<std::string> _textList;
  bool _isLog;
  std::string _localeCodePage;
};

#endif  // OMTREE_BACKEND_OMTREE_TEXTBLOCK_H_
