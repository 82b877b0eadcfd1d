#include "backend/omtree/AnswerTree.h"

struct OmAnswerTree::Detail {
  int treeType = -1;
  std::string path;
  std::string compressedXml;
  unsigned int xmlUncompressedLength = 0;
  std::string uncompressedXml;
  std::string uncompressedDisplayXml;
};

OmAnswerTree::OmAnswerTree(const OmCellText& text, const std::string& /*codePage*/)
    : OmOutputPart(text), _detail(std::make_unique<Detail>()) {}

OmAnswerTree::OmAnswerTree(const OmAnswerTree& other)
    : OmOutputPart(other), _detail(std::make_unique<Detail>(*other._detail)) {}

OmAnswerTree::~OmAnswerTree() = default;

void OmAnswerTree::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

void OmAnswerTree::SetTreeType(int type) {
  _detail->treeType = type;
}

void OmAnswerTree::SetPath(const char* data, unsigned int size) {
  _detail->path.append(data, size);
}

void OmAnswerTree::SetCompressedXML(const char* data, unsigned int size,
                                    unsigned int uncompressedSize) {
  _detail->compressedXml.append(data, size);
  _detail->xmlUncompressedLength = uncompressedSize;
}

void OmAnswerTree::SetUncompressedXML(const char* data, unsigned int size) {
  _detail->uncompressedXml.append(data, size);
}

void OmAnswerTree::SetUncompressedDisplayXML(const char* data, unsigned int size) {
  _detail->uncompressedDisplayXml.append(data, size);
}

void OmAnswerTree::Done() {}

int OmAnswerTree::GetTreeType() const {
  return _detail->treeType;
}

unsigned int OmAnswerTree::GetXmlUncompressedLength() const {
  return _detail->xmlUncompressedLength;
}

const std::string& OmAnswerTree::GetPath() const {
  return _detail->path;
}

const std::string& OmAnswerTree::GetCompressedXml() const {
  return _detail->compressedXml;
}

const std::string& OmAnswerTree::GetUncompressedXml() const {
  return _detail->uncompressedXml;
}

const std::string& OmAnswerTree::GetUncompressedDisplayXML() const {
  return _detail->uncompressedDisplayXml;
}
