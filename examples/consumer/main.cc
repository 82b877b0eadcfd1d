// Builds a small outline and a region-backed text through the public
// interface only, and exits non-zero if anything reads back wrong.

#include <cstdio>
#include <memory>

#include "backend/omtree/omtree.h"

int main() {
  OmMemoryRegion region(false);
  std::unique_ptr<OmCellText> title(new (&region) OmStringCell("Frequencies", &region, false));
  std::unique_ptr<OmCellText> copy(title->Clone(nullptr));

  ListTree<OmOutputPart*> outline(static_cast<OmOutputPart*>(nullptr));
  ListTree<OmOutputPart*>::Node root = outline.Root();
  root.AppendChild(nullptr);
  root.AppendChild(nullptr);

  OmVector<int> levels(&region);
  for (const auto& entry : outline.List())
    levels.push_back(entry.level);

  const bool ok = copy->AsString() == "Frequencies" && copy->Compare(*title) == 0 &&
                  outline.Size() == 3 && levels.size() == 3 && levels[2] == 1;
  std::printf("%s: %d outline entries, text \"%s\"\n", ok ? "ok" : "FAILED", outline.Size(),
              copy->AsString().c_str());
  return ok ? 0 : 1;
}
