// OmAnswerTree is the outline item for a decision tree. Its content is opaque
// to the library: a tree type, a path, and three XML documents (compressed,
// uncompressed, and uncompressed for display), each a string of raw bytes
// that the producer appends piece by piece and consumers read back
// unchanged. With the compressed document comes the length it has once
// uncompressed; the latest value given replaces the earlier ones.
//
// Ownership: the item owns its outline text and a private detail record
// holding the tree type, the path, the documents and the uncompressed
// length; both go with the item.
//
// Invariants: every append adds exactly the given number of bytes, embedded
// zero bytes included, and never drops or changes earlier bytes. The tree
// type is -1 until SetTreeType is called.
//
// Copying: the copy constructor is deep (the copy owns a clone of the
// outline text and its own detail record); assignment is deleted, see below.
// An answer tree is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_ANSWERTREE_H_
#define OMTREE_BACKEND_OMTREE_ANSWERTREE_H_

#include <memory>
#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/OutputPart.h"

class OMTREE_EXPORT OmAnswerTree : public OmOutputPart {
 public:
  // A tree labelled text, of type -1, with empty documents and an
  // uncompressed length of 0. The code page is accepted for the producer's
  // interface only: the documents are bytes and nothing here converts them.
  OmAnswerTree(const OmCellText& text, const std::string& codePage);
  OmAnswerTree(const OmAnswerTree& other);
  // Items are duplicated into new objects, never overwritten in place: an
  // assignment would have to merge or discard half-received documents, and
  // no caller has a use for either.
  OmAnswerTree& operator=(const OmAnswerTree&) = delete;
  ~OmAnswerTree() override;

  void Accept(Visitor& visitor) override;

  virtual void SetTreeType(int type);
  // Each appends size bytes from data to its string. SetCompressedXML also
  // replaces the uncompressed length by uncompressedSize.
  // REQUIRES: data points to size readable bytes.
  virtual void SetPath(const char* data, unsigned int size);
  virtual void SetCompressedXML(const char* data, unsigned int size, unsigned int uncompressedSize);
  virtual void SetUncompressedXML(const char* data, unsigned int size);
  virtual void SetUncompressedDisplayXML(const char* data, unsigned int size);
  // Called by the producer after the last piece; changes nothing.
  virtual void Done();

  int GetTreeType() const;
  unsigned int GetXmlUncompressedLength() const;
  const std::string& GetPath() const;
  const std::string& GetCompressedXml() const;
  const std::string& GetUncompressedXml() const;
  const std::string& GetUncompressedDisplayXML() const;

 private:
  struct Detail;

  std::unique_ptr<Detail> _detail;
};

#endif  // OMTREE_BACKEND_OMTREE_ANSWERTREE_H_
