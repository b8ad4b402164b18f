#include "commands/UnitFileList.h"

#include "base/FileNames.h"

namespace scrivlock::commands {

int TUnitFileList::IndexOf(std::string_view fileName) const {
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (SameText(FItems[i], fileName)) return static_cast<int>(i);
  }
  return -1;
}

void TUnitFileList::Delete(int index) {
  FItems.erase(FItems.begin() + index);
}

bool TUnitFileList::Remove(std::string_view fileName) {
  const int index = IndexOf(fileName);
  if (index < 0) return false;
  Delete(index);
  return true;
}

}  // namespace scrivlock::commands
