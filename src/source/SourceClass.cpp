#include "source/SourceClass.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>

#include "base/Error.h"
#include "base/FileNames.h"
#include "base/ItemSplit.h"
#include "source/NestedCloses.h"
#include "source/Output.h"
#include "source/Record.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

constexpr std::string_view kNotUncommentable = "{NOTUNCOMMENTABLE}";
constexpr std::string_view kCommentingFile = "Commenting File: ";
constexpr int64_t kProbeSize = TSourceClass::kProbeSize;

// The text from the position of `stream`, at most kProbeSize bytes, up to its
// first zero byte. The position is unchanged.
std::string_view Probe(const TByteStream& stream) {
  const int64_t from = std::min(stream.Position(), stream.Size());
  std::string_view text = stream.View().substr(static_cast<size_t>(from));
  text = text.substr(0, static_cast<size_t>(std::min<int64_t>(kProbeSize, text.size())));
  return text.substr(0, text.find('\0'));
}

// Appends one marker to `stripped` and one entry to `module`.
void AppendEntry(std::string& stripped, std::string& module, int32_t number, TCommentKind kind,
                 std::string_view text) {
  char marker[16];
  stripped.append(marker, static_cast<size_t>(scan::FormatMarker(marker, number) - marker));
  char head[record::kMaxHead];
  const record::TFields fields{number, kind, static_cast<int32_t>(text.size())};
  module.append(head, static_cast<size_t>(record::FormatHead(head, fields) - head));
  module.append(text);
  module.append(record::kTail);
}

// `bytes` followed by zeros up to `size`.
template <size_t size>
constexpr std::array<char, size> Padded(std::string_view bytes) {
  std::array<char, size> word{};
  for (size_t i = 0; i < bytes.size() && i < size; ++i) word[i] = bytes[i];
  return word;
}

// The scan's writer of markers and entries. The marker and the record head are
// stored straight into the outputs from registers: bytes put together in a
// buffer first and then copied as a whole would wait for the buffer's stores.
class TEntryWriter {
 public:
  TEntryWriter(TOutput& stripped, TOutput& module, int32_t& count, const char* limit)
      : FStripped(stripped), FModule(module), FCount(count), FLimit(limit) {
    CountWidth();
  }

  // One marker and one entry; `text` lies in the source, which is readable up to `limit`.
  void Write(TCommentKind kind, const char* text, size_t length) {
    if (!Fast() || length > 99999999) return WriteSlowly(kind, std::string_view(text, length));
    ++FCount;
    if (FCount >= FNextWidth) {
      ++FWidth;
      FNextWidth *= 10;
    }
    const uint64_t number = scan::EightDigits(static_cast<uint32_t>(FCount));

    char* marker = FStripped.Room(16);
    const uint64_t significant = number >> (8 * (8 - FWidth));
    std::memcpy(marker, "{#", 2);
    std::memcpy(marker + 2, &significant, 8);
    marker[2 + FWidth] = '}';
    FStripped.Advance(3 + static_cast<size_t>(FWidth));

    // The head as record::FormatHead writes it, from registers.
    using namespace record;
    const uint64_t digits = scan::EightDigits(static_cast<uint32_t>(length));
    constexpr size_t kText = kHead;
    constexpr size_t kEntry = kText + kTail.size();
    char* out = FModule.Room(kEntry + length);
    std::memcpy(out, kOpen.data(), kOpen.size());
    std::memcpy(out + kNumberAt, &number, kDigits);
    std::memcpy(out + kNameAt, kNameFields[kind].data(), kNameField);
    std::memcpy(out + kLengthAt, &digits, kDigits);
    std::memcpy(out + kCloseAt, kHeadEnd8.data(), 8);  // the head's end and a spill
    TOutput::CopyTo(out + kText, text, length, FLimit);
    std::memcpy(out + kText + length, kTail4.data(), 4);  // the tail and a spill
    FModule.Advance(kEntry + length);
  }

 private:
  static constexpr int32_t kLastFast = 99999999;  // past it the record's digits grow
  // Stored as whole words: the fixed pieces padded with zeros to a word's size.
  static constexpr auto kHeadEnd8 = Padded<8>(record::kHeadEnd);
  static constexpr auto kTail4 = Padded<4>(record::kTail);

  bool Fast() const { return FCount >= 0 && FCount < kLastFast; }

  // The marker's width for numbers from FCount + 1 on, and where it grows.
  void CountWidth() {
    FWidth = 1;
    FNextWidth = 10;
    while (FNextWidth <= FCount) {
      ++FWidth;
      FNextWidth *= 10;
    }
  }

  // Also for a text too long for the fast path's digits. `copied(p)` is told,
  // piece by piece, that the text before `p` is copied.
  template <class TCopied = void (*)(const char*)>
  __attribute__((noinline)) void WriteSlowly(
      TCommentKind kind, std::string_view text, TCopied copied = [](const char*) {}) {
    ++FCount;
    char* marker = FStripped.Room(16);
    FStripped.Advance(static_cast<size_t>(scan::FormatMarker(marker, FCount) - marker));
    char* out = FModule.Room(record::kMaxHead + text.size() + record::kTail.size());
    char* const head = out;
    out = record::FormatHead(out, {FCount, kind, static_cast<int32_t>(text.size())});
    constexpr size_t kPiece = size_t{4} << 20;
    for (size_t done = 0; done < text.size();) {
      const size_t piece = std::min(kPiece, text.size() - done);
      std::memcpy(out + done, text.data() + done, piece);
      done += piece;
      copied(text.data() + done);
    }
    std::memcpy(out + text.size(), record::kTail.data(), record::kTail.size());
    FModule.Advance(static_cast<size_t>(out - head) + text.size() + record::kTail.size());
    CountWidth();
  }

 public:
  // Write, for a long text whose source memory goes back as it is copied.
  template <class TCopied>
  void WriteLong(TCommentKind kind, const char* text, size_t length, TCopied copied) {
    WriteSlowly(kind, std::string_view(text, length), copied);
  }

 private:
  TOutput& FStripped;
  TOutput& FModule;
  int32_t& FCount;
  const char* FLimit;
  int FWidth = 1;           // digits of the next marker's number
  int64_t FNextWidth = 10;  // the first number with one digit more
};

// The first place in [p, end) where the letters A, B, C (lower case) stand
// in a row, in any letter case; `end` when there is none.
template <char A, char B, char C>
const char* FindLettersSlowly(const char* p, const char* end) {
  for (; end - p >= 3; ++p) {
    if (((p[0] | 0x20) == A) & ((p[1] | 0x20) == B) & ((p[2] | 0x20) == C)) return p;
  }
  return end;
}

#if defined(SCRIVLOCK_X86)
// Letters OR 0x20 are lower case; other bytes may come to match only where
// they stand for no letter, which three bytes in a row rule out here.
template <char A, char B, char C>
const char* FindLettersSse2(const char* p, const char* end) {
  const __m128i lower = _mm_set1_epi8(0x20);
  const auto at = [&](const char* q, char letter) {
    const __m128i v = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)), lower);
    return _mm_cmpeq_epi8(v, _mm_set1_epi8(letter));
  };
  for (; end - p >= 18; p += 16) {
    const __m128i hits = _mm_and_si128(_mm_and_si128(at(p, A), at(p + 1, B)), at(p + 2, C));
    if (const int mask = _mm_movemask_epi8(hits))
      return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return FindLettersSlowly<A, B, C>(p, end);
}

template <char A, char B, char C>
__attribute__((target("avx2"))) const char* FindLettersAvx2(const char* p, const char* end) {
  const __m256i lower = _mm256_set1_epi8(0x20);
  const auto at = [&](const char* q, char letter) __attribute__((target("avx2"))) {
    const __m256i v =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(q)), lower);
    return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(letter));
  };
  for (; end - p >= 34; p += 32) {
    const __m256i hits = _mm256_and_si256(_mm256_and_si256(at(p, A), at(p + 1, B)), at(p + 2, C));
    if (const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hits))) {
      return p + __builtin_ctz(mask);
    }
  }
  return FindLettersSse2<A, B, C>(p, end);
}
#endif

// The first place in [p, end) where the letters A, B, C (lower case) stand
// in a row, in any letter case; `end` when there is none.
template <char A, char B, char C>
const char* FindLetters(const char* p, const char* end) {
#if defined(SCRIVLOCK_X86)
  switch (scan::VectorSet()) {
    case scan::vsAvx2:
      return FindLettersAvx2<A, B, C>(p, end);
    case scan::vsSse2:
      return FindLettersSse2<A, B, C>(p, end);
    default:
      break;
  }
#endif
  return FindLettersSlowly<A, B, C>(p, end);
}

// The assembler blocks of a unit, found as the compiler finds them: the word
// "asm" in code opens one, the word "end" closes it. It is fed the text
// between the scan's stops, which is code and whole literals, in order. The
// word it looks for next is found once ahead through the whole text, so that
// the many runs before it cost nothing; only a unit that holds the letters
// "asm" at all needs it (Any).
class TAsmBlocks {
 public:
  TAsmBlocks(const char* begin, const char* end)
      : FBegin(begin), FEnd(end), FNext(FindLetters<'a', 's', 'm'>(begin, end)) {}

  bool Any() const { return FNext != FEnd; }

  // [p, end) begins in code.
  void Feed(const char* p, const char* end) {
    const char* counted = p;  // the quotes before it are counted
    bool literal = false;
    for (;;) {
      if (FNext < p) FNext = FindNext(p);  // the last one found stood in a comment
      if (FNext >= end) return;
      const char* word = FNext;
      FNext = FindNext(word + 1);
      // "&asm" is an identifier, "@end" and ".end" labels, "$ABend" a number;
      // a run ends at a byte that is no letter.
      if ((word > FBegin && IsPrefix(word[-1])) || (word + 3 < end && IsWordChar(word[3]))) {
        continue;
      }
      for (; counted < word; ++counted) literal ^= *counted == '\'';
      if (literal) continue;
      FInside = !FInside;
      FNext = FindNext(word + 3);
    }
  }
  bool Inside() const { return FInside; }

 private:
  const char* FindNext(const char* from) const {
    return FInside ? FindLetters<'e', 'n', 'd'>(from, FEnd)
                   : FindLetters<'a', 's', 'm'>(from, FEnd);
  }
  static bool IsWordChar(char c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || (c >= '0' && c <= '9');
  }
  static bool IsPrefix(char c) {
    return IsWordChar(c) || c == '&' || c == '@' || c == '.' || c == '$' || c == '%' || c == '#';
  }

  const char* const FBegin;
  const char* const FEnd;
  const char* FNext;  // the next place of the word looked for, or FEnd
  bool FInside = false;
};

// The scan over a unit's text, compiled once per finder.
struct TStrip {
  const char* p;
  const char* end;
  TOutput& out;
  TEntryWriter& writer;
  bool nested;          // comments nest (dlFpc)
  bool keepLines;       // every line comment leaves its line break
  TAsmBlocks* blocks;   // when the unit may hold assembler blocks and lines are not kept
  TByteStream* source;  // the text's stream, when its memory goes back as it is passed

  // Every few megabytes, the memory of what is copied already goes back. The
  // scan looks back a few bytes at most (a "*" before ")", a word's start, a
  // directive's "{$" before a "//": scan::kSlashDirectiveReach).
  static constexpr int64_t kGiveBackStep = int64_t{8} << 20;
  static constexpr int64_t kLookBack = int64_t{64} << 10;
  static_assert(kLookBack > scan::kSlashDirectiveReach);

  template <class TFinder>
  void Run() {
    scan::TNestedCloses<scan::TBraceTokens<TFinder>> braces(end);
    scan::TNestedCloses<scan::TParenTokens<TFinder>> parens(end);
    // Code and literals are copied in runs: `kept` is the first byte not yet
    // copied, and a run ends only where a comment begins.
    const char* kept = p;
    const char* const first = p;
    const char* const base = source != nullptr ? source->Data() : nullptr;
    auto stepOn = [&](const char* from) {
      return end - from > kGiveBackStep ? from + kGiveBackStep : end;
    };
    const char* giveBackAt = stepOn(p);
    // Memory goes back only once nothing reads what it held.
    auto giveBack = [&](const char* before) {
      braces.Pass(before);
      parens.Pass(before);
      source->GiveBack(before - base);
    };
    auto comment = [&](const char* first, TCommentKind kind, const char* text, const char* last,
                       const char* after) {
      out.Copy(kept, first, end);
      const auto length = static_cast<size_t>(last - text);
      if (base != nullptr && last - text > kGiveBackStep) {
        // A comment of megabytes (a nest closed far on) would otherwise be held
        // twice while it is copied.
        writer.WriteLong(kind, text, length,
                         [&](const char* copied) { giveBack(copied - kLookBack); });
      } else {
        writer.Write(kind, text, length);
      }
      kept = after;
      if (base != nullptr && kept >= giveBackAt) {
        giveBack(kept - kLookBack);
        giveBackAt = stepOn(kept);
      }
    };

    while (p < end) {
      const char* q = scan::NextInCode<TFinder>(p, end);
      if (blocks != nullptr) blocks->Feed(p, q);
      if (q == end) break;
      const char next = q + 1 < end ? q[1] : '\0';
      switch (*q) {
        case '\'': {
          // A literal runs to the next quote; a doubled quote closes and reopens it.
          // (Only near the end: elsewhere literals are skipped with the code.)
          const char* close = TFinder::Find(q + 1, end, '\'');
          p = close < end ? close + 1 : end;
          break;
        }
        case '(':
          if (next != '*') {
            p = q + 1;
          } else if (q + 2 < end && q[2] == '$') {
            p = q + 3;  // "(*$" is a directive like "{$": kept, its text scanned as code
          } else if (const char* close = ParenClose<TFinder>(parens, q + 2); close < end) {
            comment(q, ckParen, q + 2, close, close + 2);
            p = close + 2;
          } else {
            // Left open at the end: the text stays, but markers quoted in it
            // would be taken for real ones on the way back, so they become
            // entries of their own.
            for (const char* brace = TFinder::Find(q + 2, end, '{'); brace < end;
                 brace = TFinder::Find(brace + 1, end, '{')) {
              int32_t number;
              if (const size_t length = scan::MatchMarker(brace, end, number)) {
                comment(brace, ckBrace, brace + 1, brace + length - 1, brace + length);
              }
            }
            p = end;
          }
          break;
        case '/':
          if (next == '/') {
            if (const char* close = scan::SlashDirectiveClose(first, q, end)) {
              p = close + 1;  // the directive's own text
            } else if (keepLines || (blocks != nullptr && blocks->Inside())) {
              // The line break stays in the unit, and restoring puts the comment before it.
              p = scan::FindLineBreak<TFinder>(q + 2, end);
              comment(q, ckLine, q + 2, p, p);
            } else {
              // A line comment on the last line, with no line break, is an entry too.
              const char* lf = TFinder::Find(q + 2, end, '\n');
              p = lf < end ? lf + 1 : end;
              comment(q, ckLine, q + 2, p, p);
            }
          } else {
            p = q + 1;
          }
          break;
        case '{':
          if (next == '$') {
            p = q + 2;
          } else if (const char* close = BraceClose<TFinder>(braces, q + 1); close < end) {
            comment(q, ckBrace, q + 1, close, close + 1);
            p = close + 1;
          } else {
            p = end;  // left open at the end: it holds no "}", so no marker either; it stays
          }
          break;
      }
    }
    out.Copy(kept, end, end);
    writer.Write(ckEnd, end, 0);
  }

  // A nested comment left open at the end is read as one that does not nest:
  // the text stays as ReComment's walk reads it, and the compiler rejects it
  // either way.
  template <class TFinder>
  const char* BraceClose(scan::TNestedCloses<scan::TBraceTokens<TFinder>>& braces,
                         const char* text) const {
    const char* close = nested ? braces.Find(text) : end;
    return close < end ? close : TFinder::Find(text, end, '}');
  }
  template <class TFinder>
  const char* ParenClose(scan::TNestedCloses<scan::TParenTokens<TFinder>>& parens,
                         const char* text) const {
    const char* close = nested ? parens.Find(text) : end;
    return close < end ? close : scan::FindParenClose<TFinder>(text, end);
  }
};

}  // namespace

bool CanRecordFileName(std::string_view name) {
  // IsModuleOf reads the name back as one item of line 5, which a blank or a
  // comma would end, and up to the first "]".
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) <= 32 || c == ',' || c == ']';
  });
}

bool HoldsMarker(std::string_view text) {
  const char* const end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const void* brace = std::memchr(p, '{', static_cast<size_t>(end - p));
    if (!brace) return false;
    p = static_cast<const char*>(brace);
    int32_t number = 0;
    if (scan::MatchLongMarker(p, end, number) != 0) return true;
    ++p;
  }
  return false;
}

bool TSourceClass::IsNotUncommentable(TByteStream& source) const {
  return Probe(source).find(kNotUncommentable) != std::string_view::npos;
}

void TSourceClass::WriteModuleHeader(TByteStream& module, std::string_view moduleUnitName,
                                     std::string_view unitFileName) const {
  std::string header;
  header.reserve(96 + moduleUnitName.size() + unitFileName.size());
  header += "Unit ";
  header += moduleUnitName;
  header += ";\r\ninterface\r\n{$ifopt R+}\r\n{$ifopt R-}\r\n";
  header += kCommentingFile;
  header += '[';
  header += unitFileName;
  header += "]\r\n";
  header += kNotUncommentable;
  header += "\r\n";
  module.Write(header);
}

void TSourceClass::WriteComment(TByteStream& source, TByteStream& stripped, TByteStream& module,
                                TCommentKind kind, int32_t start, int32_t stop) {
  ++CommentCount;
  const int64_t first = std::clamp<int64_t>(start, 0, source.Size());
  const int64_t last = std::clamp<int64_t>(stop, first, source.Size());
  const std::string_view text =
      source.View().substr(static_cast<size_t>(first), static_cast<size_t>(last - first));
  std::string marker;
  std::string entry;
  AppendEntry(marker, entry, CommentCount, kind, text);
  stripped.Write(marker);
  module.Write(entry);
}

void TSourceClass::WriteModuleFooter(TByteStream& module) const {
  module.Write(record::kFooter);
}

bool TSourceClass::IsModuleOf(TByteStream& module, std::string_view unitFileName) const {
  const std::string_view text = Probe(module);
  const size_t head = text.find(kCommentingFile);
  if (head == std::string_view::npos) return false;
  const size_t close = text.find(']');
  if (close == std::string_view::npos || close < head) return false;
  const std::vector<std::string> items = SplitItems(text.substr(head, close - head));
  return items.size() >= 3 && !items[2].empty() &&
         std::string_view(items[2]).substr(1) == unitFileName;
}

bool TSourceClass::UnComment(TByteStream& source, TByteStream& stripped, TByteStream& module,
                             const std::string& moduleUnitName) {
  FLastRefusal = urNone;
  const auto refuse = [this](TUnCommentRefusal reason) {
    FLastRefusal = reason;
    return false;
  };
  try {
    if (!IsUnitFileName(FileName)) return refuse(urExtension);
    if (!CanRecordFileName(ExtractFileName(FileName))) return refuse(urFileName);
    if (IsNotUncommentable(source)) return refuse(urNotUncommentable);

    const char* const base = source.Data();
    const char* const end = base + source.Size();
    const char* p = base + std::min(source.Position(), source.Size());

    stripped.Clear();
    stripped.Reserve(end - p + 64);
    module.Seek(module.Size());
    WriteModuleHeader(module, moduleUnitName, ExtractFileName(FileName));
    {
      TOutput out(stripped);
      TOutput mod(module);
      TEntryWriter writer(out, mod, CommentCount, end);
      std::optional<TAsmBlocks> blocks;
      if (!Options.KeepLines) {
        blocks.emplace(p, end);
        if (!blocks->Any()) blocks.reset();
      }
      TStrip strip{p,
                   end,
                   out,
                   writer,
                   Options.Dialect == dlFpc,
                   Options.KeepLines,
                   blocks ? &*blocks : nullptr,
                   GiveBackInputs ? &source : nullptr};
      scan::Dispatch(strip);
    }  // the writers cut the streams to what was written
    source.Seek(source.Size());
    module.Seek(module.Size());
    WriteModuleFooter(module);
    stripped.Seek(stripped.Size());
    ModuleUnitName = moduleUnitName;
    LastUncommented = FileName;
    return true;
  } catch (const TError& error) {
    return refuse(std::string_view(error.what()) == TByteStream::kExpandError ? urTooLarge
                                                                              : urFailure);
  } catch (const std::bad_alloc&) {
    return refuse(urTooLarge);
  }
}

std::string TReCommentStop::Describe() const {
  const std::string marker =
      "marker {#" + std::to_string(Marker) + "} at byte " + std::to_string(Offset) + " of the unit";
  switch (Reason) {
    case rsNone:
      return "the restoration is complete";
    case rsNoEntries:
      return "the commenting module holds no entries";
    case rsMismatch:
      return marker + " does not match entry " + std::to_string(Entry) +
             " of the commenting module";
    case rsNoEntryLeft:
      return marker + " has no entry left in the commenting module";
    case rsAfterEnd:
      return marker + " stands after the end marker";
    case rsWrongEndNumber:
      return marker + " meets the module's end record, which bears number " + std::to_string(Entry);
    case rsUnknownKind:
      return "entry " + std::to_string(Entry) +
             " of the commenting module names no known comment kind (at " + marker + ")";
    case rsUnplacedEntry:
      return "entry " + std::to_string(Entry) +
             " of the commenting module has no marker in the unit";
    case rsFailure:
      return "a text could not be read or written";
    case rsDamagedEntry:
      return "entry " + std::to_string(Entry) + " of the commenting module, at byte " +
             std::to_string(ModuleOffset) + " of it, does not read as its record says (" + marker +
             ")";
  }
  return {};
}

}  // namespace scrivlock::source
