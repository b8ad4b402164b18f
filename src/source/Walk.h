// ReComment's walk over a stripped unit, two ways. Internal to the source
// processor, and open to its tests and fuzz targets.
//
// Both take the unit's text and the module's, and follow TSourceClass::
// ReComment's contract: `restored` receives the unit with its markers
// replaced by the module's entries; false, with `stop` saying where and why,
// when the walk stopped early. Both may throw (a stream past its size limit,
// no memory); ReComment turns that into rsFailure.
#pragma once

#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "source/SourceClass.h"

namespace scrivlock::source::walk {

// The walk ReComment runs: code is skipped a block at a time on the finder of
// scan::VectorSet(), and entries as UnComment writes them are read one marker
// ahead in a few moves. `restored` is emptied first.
// With `stripped` and `module` streams given, the memory of their text goes
// back as the walk passes it (TSourceClass::GiveBackInputs).
bool Fast(std::string_view stripped, std::string_view module, TByteStream& restored,
          TReCommentStop& stop, TByteStream* strippedStream = nullptr,
          TByteStream* moduleStream = nullptr);

// The same walk written plainly: a byte at a time through the unit, every
// entry through record::TEntryReader. It gives the same result, the same
// restored bytes and the same stop as Fast on every input; the tests and the
// fuzz targets hold Fast to it. `restored` is emptied first.
bool Plain(std::string_view stripped, std::string_view module, std::string& restored,
           TReCommentStop& stop);

}  // namespace scrivlock::source::walk
