// For any unit that UnComment accepts, ReComment of its outputs gives the unit
// back, on the scan path and with the options (dialect, keep lines) that the
// first byte picks; the portable path strips it to
// the same texts, and the plain walk restores it the same way.
#include <string>

#include "FuzzUtil.h"
#include "source/SourceClass.h"
#include "source/Walk.h"

using namespace scrivlock;
using namespace scrivlock::source;

namespace {

struct TStripped {
  bool ok;
  std::string stripped;
  std::string module;
};

TStripped Strip(std::string_view unit, TScanOptions options) {
  TSourceClass processor;
  processor.FileName = "Unit1.pas";
  processor.Options = options;
  TByteStream source(unit), stripped, module;
  TStripped result;
  result.ok = processor.UnComment(source, stripped, module, "Unit2");
  result.stripped = stripped.View();
  result.module = module.View();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const scan::TVectorSet path = fuzz::PickPath(data[0]);
  const std::string_view unit(reinterpret_cast<const char*>(data) + 1, size - 1);
  const TScanOptions options{(data[0] / 3) % 2 != 0 ? dlFpc : dlDelphi, (data[0] / 6) % 2 != 0};

  const TStripped u = Strip(unit, options);
  if (!u.ok) {
    // Only a unit marked not uncommentable is refused.
    TByteStream probe(unit);
    fuzz::Check(TSourceClass().IsNotUncommentable(probe), "a unit was refused");
    return 0;
  }
  TSourceClass processor;
  TByteStream s(u.stripped), m(u.module), restored;
  fuzz::Check(processor.ReComment(s, m, restored), "the round trip stopped");
  fuzz::Check(restored.View() == unit, "the round trip changed the unit");

  std::string plain;
  TReCommentStop stop;
  fuzz::Check(walk::Plain(u.stripped, u.module, plain, stop) && plain == unit,
              "the plain walk restored another text");
  if (path != scan::vsNone) {
    scan::UseVectorSet(scan::vsNone);
    const TStripped portable = Strip(unit, options);
    fuzz::Check(portable.ok && portable.stripped == u.stripped && portable.module == u.module,
                "the portable scan strips the unit differently");
  }
  return 0;
}
