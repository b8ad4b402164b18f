// Through the C interface, as another language calls it: any unit that
// scrivlock_uncomment accepts comes back byte for byte from scrivlock_recomment,
// in the dialect and line setting that the first byte picks; a stop always
// comes with its reason, place and sentence; and the module test and the skip
// forecast answer for whatever the module is.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "capi/scrivlock.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}
void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

const char* const kModes[] = {nullptr, "objfpc", "delphi", "macpas", "nonsense"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t pick = data[0];
  const char* text = reinterpret_cast<const char*>(data) + 1;
  const size_t length = size - 1;
  const int dialect = pick % 3;  // delphi, fpc, auto
  const int keepLines = (pick / 3) % 2;
  const char* mode = kModes[(pick / 6) % 5];

  scrivlock_uncomment_result u;
  const int code = scrivlock_uncomment(length > 0 ? text : nullptr, length, "Unit1.pas", "Unit2",
                                       dialect, mode, keepLines, &u);
  if (code == SCRIVLOCK_REFUSED) {
    // Only a unit marked not uncommentable is refused under this name.
    Check(u.refusal == SCRIVLOCK_UR_NOT_UNCOMMENTABLE, "a unit was refused");
    Check(u.stripped == nullptr && u.module == nullptr, "a refusal handed out texts");
    return 0;
  }
  Check(code == SCRIVLOCK_OK, "uncomment failed");
  Check(u.dialect == SCRIVLOCK_DIALECT_DELPHI || u.dialect == SCRIVLOCK_DIALECT_FPC,
        "no dialect was used");
  Check(scrivlock_is_module_of(u.module, u.module_size, "Unit1.pas") == 1,
        "the module is not its unit's");

  scrivlock_recomment_result r;
  Check(
      scrivlock_recomment(u.stripped, u.stripped_size, u.module, u.module_size, &r) == SCRIVLOCK_OK,
      "the round trip stopped");
  Check(std::string_view(r.restored, r.restored_size) == std::string_view(text, length),
        "the round trip changed the unit");
  scrivlock_free(r.restored);
  scrivlock_free(r.description);

  long entry = -1;
  const int skip =
      scrivlock_foresee_skip_problem(u.module, u.module_size, u.dialect, nullptr, &entry);
  Check(skip == 0 || skip == 1, "the skip forecast failed");
  Check(entry >= 0, "the skip forecast named no entry");

  // The input's own bytes, taken as a stripped text against the module, may
  // stop anywhere, but a stop says why and where.
  if (scrivlock_recomment(length > 0 ? text : nullptr, length, u.module, u.module_size, &r) ==
      SCRIVLOCK_STOPPED) {
    Check(r.reason != SCRIVLOCK_RS_NONE && r.description != nullptr, "a stop without a reason");
    Check(r.line >= 1 && r.column >= 1 && r.offset >= 0 && static_cast<size_t>(r.offset) <= length,
          "a stop outside the text");
  }
  scrivlock_free(r.restored);
  scrivlock_free(r.description);
  scrivlock_free(u.stripped);
  scrivlock_free(u.module);
  scrivlock_free(u.message);
  return 0;
}
