// A project file's uses clause from any bytes: the reader stays inside the
// text and reports places that hold what it says, and an entry added and taken
// out again gives the text back byte for byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/FileNames.h"
#include "hosts/common/ProjectUses.h"

namespace {

using namespace scrivlock;
using namespace scrivlock::hosts;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckPlaces(std::string_view text, const TProjectUses& uses) {
  if (!uses.HasClause) return;
  Require(uses.Readable && !uses.Entries.empty());
  Require(uses.ClauseGap <= uses.ClauseStart && uses.ClauseStop < text.size());
  Require(SameText(text.substr(uses.ClauseStart, 4), "uses") && text[uses.ClauseStop] == ';');
  size_t after = uses.ClauseStart + 4;
  for (const TUsesEntry& entry : uses.Entries) {
    Require(after <= entry.Start && entry.Start < entry.Stop && entry.Stop <= uses.ClauseStop);
    after = entry.Stop;
    if (entry.Comma != 0) {
      Require(entry.Stop <= entry.Comma && text[entry.Comma] == ',');
      after = entry.Comma + 1;
    }
  }
}

int EntriesNamed(const TProjectUses& uses, std::string_view unit) {
  int count = 0;
  for (const TUsesEntry& entry : uses.Entries) count += SameText(entry.Unit, unit) ? 1 : 0;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const TProjectUses uses = ReadProjectUses(text);
  CheckPlaces(text, uses);
  LineBreakOf(text);

  std::string added(text);
  if (AddUsesEntry(added, "Unit7", "Unit7.pas")) {
    const TProjectUses after = ReadProjectUses(added);
    CheckPlaces(added, after);
    Require(after.HasClause && EntriesNamed(after, "Unit7") == 1);
    Require(after.Entries.size() == uses.Entries.size() + 1);
    Require(RemoveUsesEntry(added, "Unit7") && added == text);
  }

  if (uses.HasClause && uses.Entries.size() > 1) {
    std::string removed(text);
    const std::string unit = uses.Entries.back().Unit;
    Require(RemoveUsesEntry(removed, unit));
    const TProjectUses after = ReadProjectUses(removed);
    CheckPlaces(removed, after);
    Require(after.HasClause && after.Entries.size() + 1 == uses.Entries.size());
  }
  return 0;
}
