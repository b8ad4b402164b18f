// TUnitFileList: the window's list of unit files (FUnitFiles): full file names
// in insertion order, duplicates allowed, looked up without regard to letter
// case (ASCII). The commands take the chosen unit from it and search it for
// commenting modules; the window and the expert's notifiers keep it current.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace scrivlock::commands {

class TUnitFileList {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  // REQUIRES: 0 <= index < Count().
  const std::string& operator[](int index) const { return FItems[static_cast<size_t>(index)]; }
  const std::vector<std::string>& Items() const { return FItems; }

  // Appends `fileName` unchanged, also when it is listed already.
  void Add(std::string fileName) { FItems.push_back(std::move(fileName)); }
  // The index of the first entry equal to `fileName` regardless of letter case;
  // -1 when none is.
  int IndexOf(std::string_view fileName) const;
  // REQUIRES: 0 <= index < Count().
  void Delete(int index);
  // Deletes the first entry IndexOf finds; false when there is none.
  bool Remove(std::string_view fileName);
  void Clear() { FItems.clear(); }

 private:
  std::vector<std::string> FItems;
};

}  // namespace scrivlock::commands
