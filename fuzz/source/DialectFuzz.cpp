// The readers of a unit's mode and of a module's body as the compiler skips
// it, on any bytes. A mode directive at the very start sets the dialect that
// the rest is read in, and decides unless the rest chooses again; a skip
// problem names the header or an entry that the module holds.
#include <string>

#include "FuzzUtil.h"
#include "source/Dialect.h"
#include "source/ModuleSkip.h"
#include "source/SourceClass.h"

using namespace scrivlock;
using namespace scrivlock::source;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const TDialect dialect = data[0] % 2 != 0 ? dlFpc : dlDelphi;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  AutoDialect(text, dialect);
  fuzz::Check(AutoDialect("{$mode delphi}" + std::string(text), dlFpc) ==
                  UnitDialect(text, dlDelphi).value_or(dlDelphi),
              "a leading {$mode delphi} did not set the dialect");
  fuzz::Check(AutoDialect("{$MODE OBJFPC}" + std::string(text), dlDelphi) ==
                  UnitDialect(text, dlFpc).value_or(dlFpc),
              "a leading {$mode objfpc} did not set the dialect");

  // The text as a module, damaged or not.
  const TSkipProblem any = ForeseeSkipProblem(text, dialect);
  fuzz::Check(!any.Found || any.Entry >= 0, "a negative entry");

  // The text as a unit: the problem named is one of the module's entries.
  TSourceClass processor;
  processor.FileName = "Unit1.pas";
  processor.Options.Dialect = dialect;
  TByteStream source(text), stripped, module;
  if (processor.UnComment(source, stripped, module, "Unit2")) {
    const TSkipProblem problem = ForeseeSkipProblem(module.View(), dialect);
    fuzz::Check(!problem.Found || (problem.Entry >= 0 && problem.Entry <= processor.CommentCount),
                "the problem names no entry of the module");
  }
  return 0;
}
