// The walk that puts a commenting module's entries back at their markers.
#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "source/Output.h"
#include "source/Record.h"
#include "source/Scan.h"
#include "source/SourceClass.h"
#include "source/Walk.h"

namespace scrivlock::source {
namespace {

// The `count` (at most 8) bytes at `p` as one word, read in loads of the
// integer sizes: a zeroed word filled by memcpy goes through the stack, and
// reading it back whole then waits for the partial stores to drain.
template <size_t count>
uint64_t LoadBytes(const char* p) {
  static_assert(count <= 8);
  if constexpr (count == 0) {
    return 0;
  } else if constexpr (count == 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
  } else if constexpr (count >= 4) {
    uint32_t low;
    std::memcpy(&low, p, 4);
    return low | LoadBytes<count - 4>(p + 4) << 32;
  } else {
    using TWord = std::conditional_t<count >= 2, uint16_t, uint8_t>;
    TWord word;
    std::memcpy(&word, p, sizeof word);
    return word | LoadBytes<count - sizeof word>(p + sizeof word) << (8 * sizeof word);
  }
}

// Whether the `count` (at most 8) bytes at `a` and `b` are the same, compared
// as one word: memcmp of so few bytes is not always inlined.
template <size_t count>
bool SameBytes(const char* a, const char* b) {
  return LoadBytes<count>(a) == LoadBytes<count>(b);
}

// The fast reading of an entry as UnComment writes it: "(*" number ","
// name "," length "*)" CR LF, the text in quotes, CR LF, and then the next
// entry's head as UnComment writes it, numbered one more, or after the end
// record the footer. Whatever it takes must read the same through
// record::TEntryReader, which reads every other entry.
struct TStandardEntry {
  static constexpr size_t kHead = record::kHead;  // up to the text
  static constexpr size_t kTail = record::kTail.size();
  TCommentKind kind;
  uint32_t length;
  const char* text;
  uint64_t digits;  // the number's eight digits as they stand in the record
  size_t size;      // of the whole entry, up to the next one

  int32_t Number() const { return static_cast<int32_t>(scan::EightDigitsValue(digits)); }
};

// The bytes of `a` and then `b`, to compare as one word.
template <size_t size>
constexpr std::array<char, size> Joined(std::string_view a, std::string_view b) {
  std::array<char, size> bytes{};
  for (size_t i = 0; i < a.size(); ++i) bytes[i] = a[i];
  for (size_t i = 0; i < b.size(); ++i) bytes[a.size() + i] = b[i];
  return bytes;
}
constexpr auto kTailOpen = Joined<5>(record::kTail, record::kOpen);  // "'\r\n(*"
static_assert(record::kFooterStart.size() == 8);

// Whether a head as UnComment writes it stands at `r`, which has kHead bytes.
template <class TFinder>
bool IsStandardHead(const char* r) {
  const int kind = record::KindByLetter(r[record::kNameAt + 1]);
  return kind >= 0 && TFinder::template Fits<record::kHead>(r, record::kHeadPatterns[kind].data());
}

// The eight digits of one more than the eight digits `digits` (as read from
// text), worked out on the digits themselves; 0 past 99999999. The last
// digits are the word's top bytes: its nines become zeros, and the digit
// before them goes up by one.
inline uint64_t NextDigits(uint64_t digits) {
  constexpr uint64_t kNines = 0x3939393939393939ULL;
  constexpr uint64_t kZeros = 0x3030303030303030ULL;
  const uint64_t others = digits ^ kNines;
  if (others == 0) return 0;
  const int nines = __builtin_clzll(others) / 8;
  const uint64_t kept = ~0ULL >> (8 * nines);
  return ((digits & kept) + (1ULL << (8 * (7 - nines)))) | (kZeros & ~kept);
}

// Looks at the entry at `r`, with `left` bytes of the module from there,
// without moving on. False when it is anything but standard; the reader then
// reads it, as it would this one, to the same result. With `headChecked`,
// the caller knows that a standard head stands at `r`.
template <class TFinder, bool headChecked = false>
bool PeekStandardEntry(const char* r, size_t left, TStandardEntry& entry) {
  constexpr size_t kHead = TStandardEntry::kHead;
  constexpr size_t kTail = TStandardEntry::kTail;
  if (left < kHead + kTail + 2 || (!headChecked && !IsStandardHead<TFinder>(r))) return false;
  // The number's digits are all that is kept: the marker is matched by them,
  // and its value is worked out when it is asked for.
  const uint64_t digits = LoadBytes<8>(r + record::kNumberAt);
  const uint32_t length = scan::EightDigitsValue(LoadBytes<8>(r + record::kLengthAt));
  if (left - kHead - kTail - 2 < length) return false;
  const char* const close = r + kHead + length;
  const char* const next = close + kTail;
  const size_t after = left - kHead - length - kTail;
  const auto kind = static_cast<TCommentKind>(record::KindByLetter(r[record::kNameAt + 1]));
  if (SameBytes<5>(close, kTailOpen.data())) {
    // Mostly another entry follows, numbered one more.
    if (after < kHead || !IsStandardHead<TFinder>(next) ||
        LoadBytes<8>(next + record::kNumberAt) != NextDigits(digits)) {
      return false;
    }
  } else if (!(kind == ckEnd && SameBytes<kTail>(close, record::kTail.data()) && after >= 8 &&
               SameBytes<8>(next, record::kFooterStart.data()))) {
    return false;
  }
  entry.kind = kind;
  entry.length = length;
  entry.text = r + kHead;
  entry.digits = digits;
  entry.size = kHead + length + kTail;
  return true;
}

// The marker that ends the text exactly, if one does: the end marker stays at
// the very end even when a literal left open runs up to it.
const char* EndMarkerAt(const char* p, const char* end, int32_t& number) {
  const char* hash = end - 2;
  while (hash >= p && *hash >= '0' && *hash <= '9') --hash;
  if (hash - 1 < p || *hash != '#') return end;
  return scan::MatchMarker(hash - 1, end, number) == static_cast<size_t>(end - (hash - 1))
             ? hash - 1
             : end;
}

enum TWalkState { wsCode, wsString, wsBrace, wsParen, wsLine };

// The walk over a stripped unit, compiled once per finder. It follows the
// same states as the scan, so that a quote inside a comment opens no literal
// and "{#" inside a literal is no marker.
struct TWalk {
  TWalk(std::string_view stripped, record::TEntryReader& reader, TOutput& out, TReCommentStop& stop)
      : begin(stripped.data()),
        end(stripped.data() + stripped.size()),
        reader(reader),
        moduleBegin(reader.Text().data()),
        moduleEnd(reader.Text().data() + reader.Text().size()),
        out(out),
        stop(stop) {}

  const char* const begin;
  const char* const end;
  record::TEntryReader& reader;
  const char* const moduleBegin;
  const char* const moduleEnd;
  TOutput& out;
  TReCommentStop& stop;
  // The streams whose memory goes back as the walk passes them, or null.
  TByteStream* strippedStream = nullptr;
  TByteStream* moduleStream = nullptr;
  // Every few megabytes; the walk looks back at the entry it placed last.
  static constexpr std::ptrdiff_t kGiveBackStep = std::ptrdiff_t{8} << 20;
  static constexpr std::ptrdiff_t kLookBack = std::ptrdiff_t{64} << 10;
  static_assert(kLookBack > scan::kSlashDirectiveReach);
  const char* giveBackAt = nullptr;
  const char* StepOn(const char* from) const {
    return strippedStream == nullptr || end - from <= kGiveBackStep ? end : from + kGiveBackStep;
  }
  // The text before `kept` and the module before `placed` (the last entry put
  // back) are read no more.
  void GiveBackInputs(const char* kept, const char* placed) {
    strippedStream->GiveBack(kept - begin - kLookBack);
    moduleStream->GiveBack(placed - moduleBegin - kLookBack);
    giveBackAt = StepOn(kept);
  }

  // The record of the last entry read. The number of one put back by
  // PlaceNext is worked out only when it is asked for.
  record::TFields record;
  uint64_t recordDigits = 0;
  bool numberPending = false;
  record::TFields& Record() {
    if (numberPending) {
      record.Number = static_cast<int32_t>(scan::EightDigitsValue(recordDigits));
      numberPending = false;
    }
    return record;
  }
  void SetRecord(const record::TFields& read) {
    record = read;
    numberPending = false;
  }
  bool endSeen = false;
  // Whether the entry just put back by Place ended a line, for a marker inside
  // a line comment. (PlaceNext puts back only markers in code.)
  bool lineClosed = false;
  // The unit's text is copied in runs: `kept` is the first byte not yet
  // copied, and a run ends only at a marker.
  const char* kept = begin;

  bool Stop(TReCommentStop::TReason reason, const char* at, int32_t marker) {
    stop.Reason = reason;
    stop.Marker = marker;
    stop.Entry = Record().Number;
    stop.Offset = at - begin;
    return false;
  }

  // The module's next entry when it is standard and of a comment, with the
  // marker that asks for it as the bytes of a word and the mask of its bytes.
  // When there is none, or the marker is longer than a word, the mask keeps
  // one byte and the marker wants a 1 there, which no open is.
  //
  // The entry is read one marker ahead, while the walk looks for that marker:
  // each entry's place in the module follows from the length of the one
  // before, and reading it only once its marker is found would make the walk
  // wait for that chain at every marker.
  struct TAhead {
    static constexpr uint64_t kNoMarker = 1;
    static constexpr uint64_t kNoMask = 0xFF;
    uint64_t marker = kNoMarker;
    uint64_t mask = kNoMask;
    size_t width = 0;
    size_t length = 0;  // of the entry's text
    TCommentKind kind = ckLine;

    // Whether the marker of the entry stands at `at`, an open in code, with a
    // word of text from there on.
    bool At(const char* at) const { return (LoadBytes<8>(at) & mask) == marker; }
  };

  // The look-ahead for the entry at `module`.
  template <class TFinder, bool headChecked = false>
  TAhead LookAt(const char* module) const {
    TAhead next;
    TStandardEntry entry;
    if (!PeekStandardEntry<TFinder, headChecked>(module, static_cast<size_t>(moduleEnd - module),
                                                 entry) ||
        entry.kind == ckEnd) {
      return next;
    }
    next.length = entry.length;
    next.kind = entry.kind;
    // "{#", the digits without their leading zeros (one stays for 0), "}".
    const uint64_t digits = entry.digits;
    const int zeros = __builtin_ctzll((digits ^ 0x3030303030303030ULL) | 1ULL << 56) / 8;
    const int width = 8 - zeros + 3;
    if (width > 8) return next;
    next.width = static_cast<size_t>(width);
    next.mask = ~0ULL >> (8 * (8 - width));
    next.marker = ('{' | '#' << 8 | (digits >> (8 * zeros)) << 16 |
                   static_cast<uint64_t>('}') << (8 * (width - 1)));
    return next;
  }

  // What the walk changes at each marker, held apart from the walk while
  // Skim puts entries back, where the compiler can keep it in registers
  // (the walk's own fields would be read back from memory after every copy).
  // Only what placing an entry needs is held there.
  struct TFast {
    const char* kept;
    char* cursor;  // the output's
    const char* module;
    TAhead ahead;
  };
  // Where the output's cursor stood when the walk's state was taken, and the
  // last entry put back since, in the module.
  char* fastStart = nullptr;
  const char* lastPlaced = nullptr;

  template <class TFinder>
  TFast TakeFast() {
    TFast fast{kept, nullptr, moduleBegin + reader.Cursor(), TAhead()};
    fastStart = nullptr;
    lastPlaced = nullptr;
    // Room for all that is left, made once: an entry takes up more of the
    // module than it puts back, and a run no more than it takes of the text.
    // Where that is more than a stream may hold, or once the end entry was
    // read, no entry is put back here, and Place makes room for each.
    const auto left =
        static_cast<size_t>(end - kept) + static_cast<size_t>(moduleEnd - fast.module);
    if (!endSeen && left <= static_cast<size_t>(TByteStream::kMaxSize) - out.Size()) {
      fast.cursor = fastStart = out.Room(left);
      fast.ahead = LookAt<TFinder>(fast.module);
    }
    return fast;
  }
  template <class TFinder>
  void GiveBackFast(const TFast& fast) {
    out.Advance(static_cast<size_t>(fast.cursor - fastStart));
    reader.MoveTo(static_cast<size_t>(fast.module - moduleBegin));
    kept = fast.kept;
    TStandardEntry last;
    if (lastPlaced != nullptr &&
        PeekStandardEntry<TFinder>(lastPlaced, static_cast<size_t>(moduleEnd - lastPlaced), last)) {
      record.Kind = last.kind;
      record.Length = static_cast<int32_t>(last.length);
      recordDigits = last.digits;
      numberPending = true;
    }
  }

  // Copies the text up to `at`, where the marker of the looked-ahead entry
  // stands, and puts that entry there: what Place does for it, less the checks
  // that looking ahead has made.
  template <class TFinder>
  void PlaceNext(TFast& fast, const char* at) {
    const auto run = static_cast<size_t>(at - fast.kept);
    const size_t length = fast.ahead.length;
    char* o = fast.cursor;
    TOutput::CopyTo(o, fast.kept, run, end);
    const auto& delimiters = kDelimiters[fast.ahead.kind];
    o += run;
    std::memcpy(o, delimiters.open, 2);
    o += delimiters.openSize;
    const char* const text = fast.module + TStandardEntry::kHead;
    TOutput::CopyTo(o, text, length, moduleEnd);
    std::memcpy(o + length, delimiters.close, 2);
    fast.cursor = o + length + delimiters.closeSize;
    lastPlaced = fast.module;
    // The module is read as a second stream beside the text, in steps too
    // uneven for the hardware to run far enough ahead on its own.
    __builtin_prefetch(fast.module + kModulePrefetchAhead);
    fast.module = text + length + TStandardEntry::kTail;
    fast.kept = at + fast.ahead.width;
    // The entry just put back was read as standard only with a standard head after it.
    fast.ahead = LookAt<TFinder, true>(fast.module);
  }

  static constexpr size_t kModulePrefetchAhead = 2048;

  // Each kind's delimiters, two bytes each way, of which the first `size` count.
  static constexpr struct {
    char open[2], close[2];
    size_t openSize, closeSize;
  } kDelimiters[] = {{{'/', '/'}, {}, 2, 0}, {{'{'}, {'}'}, 1, 1}, {{'(', '*'}, {'*', ')'}, 2, 2}};

  // Copies the text up to the marker at `at` and puts its entry there, for
  // an entry of any form, standard or not.
  template <class TFinder>
  bool Place(const char* at, int32_t marker) {
    out.Copy(kept, at, end);
    Record();  // ReadHead leaves it as it is when it cannot read one
    if (endSeen) return Stop(TReCommentStop::rsAfterEnd, at, marker);
    std::string_view text;
    TStandardEntry entry;
    const size_t entryAt = reader.Cursor();
    bool whole = PeekStandardEntry<TFinder>(moduleBegin + reader.Cursor(),
                                            reader.Text().size() - reader.Cursor(), entry);
    if (whole) {
      reader.MoveTo(reader.Cursor() + entry.size);
      record.Number = entry.Number();
      record.Kind = entry.kind;
      record.Length = static_cast<int32_t>(entry.length);
      text = std::string_view(entry.text, entry.length);
    } else {
      if (!reader.AtEntry()) {
        record.Number = 0;
        return Stop(TReCommentStop::rsNoEntryLeft, at, marker);
      }
      whole = reader.ReadHead(record) && reader.ReadText(record, text);
    }
    if (record.Kind == ckEnd) {
      if (record.Number != marker) return Stop(TReCommentStop::rsWrongEndNumber, at, marker);
      endSeen = true;
      return true;
    }
    if (record.Number != marker) return Stop(TReCommentStop::rsMismatch, at, marker);
    if (!whole) {
      stop.ModuleOffset = static_cast<int64_t>(entryAt);
      return Stop(TReCommentStop::rsDamagedEntry, at, marker);
    }
    if (record.Kind > ckParen) return Stop(TReCommentStop::rsUnknownKind, at, marker);
    const auto& delimiters = kDelimiters[record.Kind];
    char* o = out.Room(text.size() + 4);
    std::memcpy(o, delimiters.open, 2);
    o += delimiters.openSize;
    TOutput::CopyTo(o, text.data(), text.size(), moduleEnd);
    std::memcpy(o + text.size(), delimiters.close, 2);
    out.Advance(delimiters.openSize + text.size() + delimiters.closeSize);
    // Without branches: whether a line comment ends its line changes from one to the next.
    lineClosed = (record.Kind == ckLine) & (text.substr(text.size() - !text.empty()) == "\n");
    return true;
  }

  // Walks code a block at a time from `p`, literals skipped and markers put
  // back, up to the first special place that needs a step of the state walk:
  // a comment added after uncommenting, or the last bytes of the text. Leaves
  // `p` there and `literal` saying whether it is inside a literal. False when
  // a marker stopped the walk.
  template <class TFinder>
  bool Skim(const char*& p, bool& literal) {
    // The blocks stop a word short of the end, so that a word can be read at
    // any open they hold.
    const char* const blocksEnd = end - std::min<std::ptrdiff_t>(end - begin, 8);
    uint64_t inside = 0;
    TFast fast = TakeFast<TFinder>();
    for (uint64_t opens; (opens = scan::NextOpens<TFinder>(p, blocksEnd, inside)) != 0;
         p += scan::kBlock) {
      // A marker holds no special byte, so the block's other bits still stand.
      for (; opens; opens &= opens - 1) {
        const char* q = p + __builtin_ctzll(opens);
        if (fast.ahead.At(q)) {
          PlaceNext<TFinder>(fast, q);
          if (fast.kept >= giveBackAt && strippedStream != nullptr) {
            GiveBackInputs(fast.kept, lastPlaced);
          }
          continue;
        }
        if (q[0] == '(' && q + 2 < end && q[2] == '$') continue;  // a directive: its text is code
        GiveBackFast<TFinder>(fast);
        int32_t number;
        if (const size_t length = scan::MatchMarker(q, end, number)) {
          if (!Place<TFinder>(q, number)) return false;
          kept = q + length;
          fast = TakeFast<TFinder>();
        } else {
          p = q;
          return true;
        }
      }
    }
    GiveBackFast<TFinder>(fast);
    literal = inside != 0;
    return true;
  }

  template <class TFinder>
  bool Run() {
    TWalkState state = wsCode;
    const char* parenText = begin;  // where the open "(*" comment's text begins
    const char* p = begin;
    int32_t number = 0;
    while (p < end) {
      switch (state) {
        case wsCode: {
          bool literal = false;
          if (!Skim<TFinder>(p, literal)) return false;
          if (literal) {
            state = wsString;
            break;
          }
          const char* q = TFinder::Special(p, end);
          if (q == end) {
            p = end;
            break;
          }
          p = q + 1;
          if (*q == '\'') {
            state = wsString;
          } else if (*q == '(') {  // "(*"
            if (q + 2 < end && q[2] == '$') {
              p = q + 3;
            } else {
              p = parenText = q + 2;
              state = wsParen;
            }
          } else if (*q == '/') {  // "//"
            if (const char* close = scan::SlashDirectiveClose(begin, q, end)) {
              p = close + 1;  // the directive's own text
            } else {
              p = q + 2;
              state = wsLine;
            }
          } else if (const size_t length = scan::MatchMarker(q, end, number)) {
            if (!Place<TFinder>(q, number)) return false;
            p = kept = q + length;
          } else if (q + 1 < end && q[1] == '$') {
            p = q + 2;
          } else {
            state = wsBrace;
          }
          break;
        }
        case wsString: {
          const char* q = TFinder::Find(p, end, '\'');
          if (q < end) {
            p = q + 1;
            state = wsCode;
            break;
          }
          p = end;
          if (const char* marker = EndMarkerAt(kept, end, number); marker < end) {
            if (!Place<TFinder>(marker, number)) return false;
            kept = end;
          }
          break;
        }
        case wsBrace:
        case wsParen:
        case wsLine: {
          // Comments added after uncommenting: copied, markers inside them put back.
          const char* q = p;
          for (; q < end; ++q) {
            const char c = *q;
            if (c == '{' || (state == wsBrace && c == '}') || (state == wsLine && c == '\n') ||
                (state == wsParen && c == ')' && q > parenText && q[-1] == '*')) {
              break;
            }
          }
          if (q == end) {
            p = end;
            break;
          }
          p = q + 1;
          if (*q != '{') {
            state = wsCode;
          } else if (const size_t length = scan::MatchMarker(q, end, number)) {
            if (!Place<TFinder>(q, number)) return false;
            p = kept = q + length;
            // The marker's own "}" ends a brace comment; a restored line break a line comment.
            if (state == wsBrace || (state == wsLine && lineClosed)) state = wsCode;
          }
          break;
        }
      }
    }
    out.Copy(kept, end, end);
    return true;
  }
};

}  // namespace

namespace walk {

bool Fast(std::string_view stripped, std::string_view module, TByteStream& restored,
          TReCommentStop& stop, TByteStream* strippedStream, TByteStream* moduleStream) {
  restored.Clear();
  stop = TReCommentStop();
  record::TEntryReader reader(module);
  if (!reader.SkipHeader()) {
    stop.Reason = TReCommentStop::rsNoEntries;
    return false;
  }
  restored.Reserve(static_cast<int64_t>(stripped.size() + module.size()));
  TOutput out(restored);
  TWalk walk(stripped, reader, out, stop);
  if (strippedStream != nullptr && moduleStream != nullptr) {
    walk.strippedStream = strippedStream;
    walk.moduleStream = moduleStream;
  }
  walk.giveBackAt = walk.StepOn(walk.begin);
  const bool whole = scan::Dispatch(walk);
  out.Finish();
  if (!whole) return false;
  if (!walk.endSeen && reader.AtEntry()) {
    // Entries other than the end record that no marker asked for would be lost.
    record::TFields next;
    next.Kind = ckNone;
    reader.ReadHead(next);
    if (next.Kind != ckEnd) {
      walk.SetRecord(next);
      return walk.Stop(TReCommentStop::rsUnplacedEntry, walk.end, 0);
    }
  }
  restored.Seek(restored.Size());
  return true;
}

}  // namespace walk

bool TSourceClass::ReComment(TByteStream& stripped, TByteStream& module, TByteStream& restored) {
  FLastStop = TReCommentStop();
  try {
    stripped.Seek(0);
    module.Seek(0);
    return GiveBackInputs
               ? walk::Fast(stripped.View(), module.View(), restored, FLastStop, &stripped, &module)
               : walk::Fast(stripped.View(), module.View(), restored, FLastStop);
  } catch (...) {
    FLastStop.Reason = TReCommentStop::rsFailure;
    return false;
  }
}

}  // namespace scrivlock::source
