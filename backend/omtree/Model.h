// OmModel is the outline item for a statistical model. Its content is opaque
// to the library: a PMML document, a binary data stream and two container
// documents (PMML and StatXML), each a string of raw bytes that the producer
// appends piece by piece and consumers read back unchanged. The model type
// starts as Plain and becomes Container when either container document
// arrives; SetModelType overrides it at any time.
//
// Ownership: the item owns its outline text and a private detail record
// holding the type and the four payloads; both go with the item.
//
// Invariants: every payload setter appends exactly the given number of
// bytes, embedded zero bytes included, and never drops or changes earlier
// bytes.
//
// Copying: the copy constructor is deep (the copy owns a clone of the
// outline text and its own detail record); assignment is deleted, see below.
// A model is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_MODEL_H_
#define OMTREE_BACKEND_OMTREE_MODEL_H_

#include <cstdint>
#include <memory>
#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/OutputPart.h"

class OMTREE_EXPORT OmModel : public OmOutputPart {
 public:
  enum MODEL_TYPE : std::int32_t {
    // A model carried by its PMML and binary data stream; the initial type.
    Plain = 0,
    // A model that arrived in container documents.
    Container = 1,
  };

  // A Plain model labelled text, with empty payloads.
  explicit OmModel(const OmCellText& text);
  OmModel(const OmModel& other);
  // Items are duplicated into new objects, never overwritten in place: an
  // assignment would have to merge or discard a half-received payload, and
  // no caller has a use for either.
  OmModel& operator=(const OmModel&) = delete;
  ~OmModel() override;

  void Accept(Visitor& visitor) override;

  // Each appends size bytes from data to its payload. The container
  // documents also set the type to Container.
  // REQUIRES: data points to size readable bytes.
  virtual void SetPMML(const char* data, unsigned int size);
  virtual void SetBinaryDataStream(const char* data, unsigned int size);
  virtual void SetPMMLContainer(const char* data, unsigned int size);
  virtual void SetStatXMLContainer(const char* data, unsigned int size);

  void SetModelType(MODEL_TYPE type);

  MODEL_TYPE GetModelType() const;
  const std::string& GetPMML() const;
  const std::string& GetBinaryDataStream() const;
  const std::string& GetPMMLContainer() const;
  const std::string& GetStatXMLContainer() const;

 private:
  struct Detail;

  std::unique_ptr<Detail> _detail;
};

#endif  // OMTREE_BACKEND_OMTREE_MODEL_H_
