// OmProcedure is the heading that opens the output of one procedure run. On
// top of a heading it records the command that produced the output (and its
// translated form), the language and locale the output was made in, and
// four display modes that tell viewers how to show variables and values in
// the outline and in tables (each OmCellText::NamesAndLabels, the value 2,
// at first). The library stores the modes and never interprets them.
//
// The command and the outline text change together through
// setOutlineText(); SetCommand() changes the command alone.
//
// Copies are deep, as for headings; the strings and modes are copied by
// value. A procedure is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_PROCEDURE_H_
#define OMTREE_BACKEND_OMTREE_PROCEDURE_H_

#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/Heading.h"

class OMTREE_EXPORT OmProcedure : public OmHeading {
 public:
  // A procedure labelled text, whose command is text.AsString().
  OmProcedure(const OmCellText& text, const std::string& languageCode,
              const std::string& localeCodePage, const std::string& localeName);
  OmProcedure(const OmProcedure& other) = default;
  OmProcedure& operator=(const OmProcedure& other) = default;
  ~OmProcedure() override;

  void Accept(Visitor& visitor) override;

  const std::string& Command() const { return _command; }
  void SetCommand(const std::string& command) { _command = command; }
  const std::string& TransCommand() const { return _transCommand; }
  void SetTransCommand(const std::string& command) { _transCommand = command; }

  // Fixed at construction.
  const std::string& LanguageCode() const { return _languageCode; }
  const std::string& LocaleCodePage() const { return _localeCodePage; }
  const std::string& LocaleName() const { return _localeName; }

  OmCellText::ModeType OutlineVarDisplay() const { return _outlineVarDisplay; }
  void OutlineVarDisplay(OmCellText::ModeType mode) { _outlineVarDisplay = mode; }
  OmCellText::ModeType OutlineValueDisplay() const { return _outlineValueDisplay; }
  void OutlineValueDisplay(OmCellText::ModeType mode) { _outlineValueDisplay = mode; }
  OmCellText::ModeType TableVarDisplay() const { return _tableVarDisplay; }
  void TableVarDisplay(OmCellText::ModeType mode) { _tableVarDisplay = mode; }
  OmCellText::ModeType TableValueDisplay() const { return _tableValueDisplay; }
  void TableValueDisplay(OmCellText::ModeType mode) { _tableValueDisplay = mode; }

  // Sets the command to text.AsString() and the outline text to a clone of
  // text.
  void setOutlineText(const OmCellText& text);

 private:
  std::string _command;
  std::string _languageCode;
  std::string _localeCodePage;
  std::string _localeName;
  std::string _transCommand;
  OmCellText::ModeType _outlineVarDisplay;
  OmCellText::ModeType _outlineValueDisplay;
  OmCellText::ModeType _tableVarDisplay;
  OmCellText::ModeType _tableValueDisplay;
};

#endif  // OMTREE_BACKEND_OMTREE_PROCEDURE_H_
