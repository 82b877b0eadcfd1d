// OmPageTitle is a text block used as a page title: its outline text is
// always empty and it is never a log. Copies are deep, as for text blocks.

#ifndef OMTREE_BACKEND_OMTREE_PAGETITLE_H_
#define OMTREE_BACKEND_OMTREE_PAGETITLE_H_

#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/TextBlock.h"

class OMTREE_EXPORT OmPageTitle : public OmTextBlock {
 public:
  explicit OmPageTitle(const std::string& codePage);
  OmPageTitle(const OmPageTitle& other) = default;
  OmPageTitle& operator=(const OmPageTitle& other) = default;
  ~OmPageTitle() override;

  void Accept(Visitor& visitor) override;
};

#endif  // OMTREE_BACKEND_OMTREE_PAGETITLE_H_
