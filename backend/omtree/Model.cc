#include "backend/omtree/Model.h"

struct OmModel::Detail {
  MODEL_TYPE modelType = Plain;
  std::string pmml;
  std::string binaryDataStream;
  std::string pmmlContainer;
  std::string statXmlContainer;
};

OmModel::OmModel(const OmCellText& text)
    : OmOutputPart(text), _detail(std::make_unique<Detail>()) {}

OmModel::OmModel(const OmModel& other)
    : OmOutputPart(other), _detail(std::make_unique<Detail>(*other._detail)) {}

OmModel::~OmModel() = default;

void OmModel::Accept(Visitor& visitor) {
  visitor.Visit(*this);
}

void OmModel::SetPMML(const char* data, unsigned int size) {
  _detail->pmml.append(data, size);
}

void OmModel::SetBinaryDataStream(const char* data, unsigned int size) {
  // Sized for the new piece first; the standard library still grows the
  // block geometrically, so many small pieces do not copy quadratically.
  std::string& stream = _detail->binaryDataStream;
  stream.reserve(stream.size() + size);
  stream.append(data, size);
}

void OmModel::SetPMMLContainer(const char* data, unsigned int size) {
  _detail->modelType = Container;
  _detail->pmmlContainer.append(data, size);
}

void OmModel::SetStatXMLContainer(const char* data, unsigned int size) {
  _detail->modelType = Container;
  _detail->statXmlContainer.append(data, size);
}

void OmModel::SetModelType(MODEL_TYPE type) {
  _detail->modelType = type;
}

OmModel::MODEL_TYPE OmModel::GetModelType() const {
  return _detail->modelType;
}

const std::string& OmModel::GetPMML() const {
  return _detail->pmml;
}

const std::string& OmModel::GetBinaryDataStream() const {
  return _detail->binaryDataStream;
}

const std::string& OmModel::GetPMMLContainer() const {
  return _detail->pmmlContainer;
}

const std::string& OmModel::GetStatXMLContainer() const {
  return _detail->statXmlContainer;
}
