// ReComment on any stripped text and any module: no crash, hang or read
// outside the buffers (the sanitizers watch those); the fast walk, on the path
// the first byte picks, comes to what the plain walk comes to; and a success
// keeps everything: the unit's bytes but its markers, and every entry the
// module holds before its end record, in order.
//
// Input: the path byte, the stripped text, fuzz::kSeparator, the module (no
// separator: the whole input is the module, with no stripped text).
#include <cstring>
#include <memory>
#include <string>

#include "FuzzUtil.h"
#include "source/Record.h"
#include "source/SourceClass.h"
#include "source/Walk.h"

using namespace scrivlock;
using namespace scrivlock::source;

namespace {

// Whether `part` is a subsequence of `whole`.
bool Within(std::string_view part, std::string_view whole) {
  size_t at = 0;
  for (const char c : part) {
    at = whole.find(c, at);
    if (at == std::string_view::npos) return false;
    ++at;
  }
  return true;
}

// `unit` without its markers.
std::string WithoutMarkers(std::string_view unit) {
  std::string rest;
  for (size_t i = 0; i < unit.size();) {
    int32_t number;
    if (const size_t length =
            scan::MatchLongMarker(unit.data() + i, unit.data() + unit.size(), number)) {
      i += length;
    } else {
      rest += unit[i++];
    }
  }
  return rest;
}

// Whether every entry before the end record, as the plain reader reads it,
// stands in `restored` with its delimiters, in order.
bool EntriesWithin(std::string_view module, std::string_view restored) {
  record::TEntryReader reader(module);
  if (!reader.SkipHeader()) return true;
  size_t at = 0;
  record::TFields fields;
  while (reader.AtEntry()) {
    std::string_view text;
    const size_t before = reader.Cursor();
    if (!reader.ReadHead(fields) || !reader.ReadText(fields, text) || fields.Kind == ckEnd) break;
    if (reader.Cursor() <= before) fuzz::Fail("the reader did not move on");
    static constexpr std::string_view kOpen[] = {"//", "{", "(*"};
    static constexpr std::string_view kClose[] = {"", "}", "*)"};
    if (fields.Kind > ckParen) break;
    const std::string entry =
        std::string(kOpen[fields.Kind]) + std::string(text) + std::string(kClose[fields.Kind]);
    at = restored.find(entry, at);
    if (at == std::string_view::npos) return false;
    at += entry.size();
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::PickPath(data[0]);
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = input.find(fuzz::kSeparator);
  const std::string_view stripped =
      split == std::string_view::npos ? std::string_view() : input.substr(0, split);
  const std::string_view module =
      split == std::string_view::npos ? input : input.substr(split + fuzz::kSeparator.size());

  // The fast walk reads copies of exactly their size, so that a read past
  // either text is one the sanitizer sees.
  const std::unique_ptr<char[]> unitCopy(new char[stripped.size()]);
  const std::unique_ptr<char[]> moduleCopy(new char[module.size()]);
  if (!stripped.empty()) std::memcpy(unitCopy.get(), stripped.data(), stripped.size());
  if (!module.empty()) std::memcpy(moduleCopy.get(), module.data(), module.size());
  TByteStream restored;
  TReCommentStop fast;
  const bool ok = walk::Fast(std::string_view(unitCopy.get(), stripped.size()),
                             std::string_view(moduleCopy.get(), module.size()), restored, fast);
  std::string plain;
  TReCommentStop stop;
  const bool plainOk = walk::Plain(stripped, module, plain, stop);
  fuzz::Check(ok == plainOk && restored.View() == plain, "the walks restored differently");
  fuzz::Check(fast.Reason == stop.Reason && fast.Marker == stop.Marker &&
                  fast.Entry == stop.Entry && fast.Offset == stop.Offset &&
                  fast.ModuleOffset == stop.ModuleOffset,
              "the walks stopped differently");
  if (ok) {
    fuzz::Check(Within(WithoutMarkers(stripped), plain), "a success dropped bytes of the unit");
    fuzz::Check(EntriesWithin(module, plain), "a success dropped an entry");
  }
  return 0;
}
