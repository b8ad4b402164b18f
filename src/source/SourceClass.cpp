#include "source/SourceClass.h"

#include <algorithm>
#include <cstring>

#include "base/Error.h"
#include "base/FileNames.h"
#include "base/ItemSplit.h"
#include "source/Scan.h"
#include "source/TipoNumero.h"

namespace scrivlock::source {
namespace {

constexpr std::string_view kNotUncommentable = "{NOTUNCOMMENTABLE}";
constexpr std::string_view kCommentingFile = "Commenting File: ";
constexpr std::string_view kFooter = "{$endif}\r\n{$endif}\r\nimplementation\r\nend.";
constexpr int64_t kProbeSize = 1023;  // how far the two header tests look

// The text from the position of `stream`, at most kProbeSize bytes, up to its
// first zero byte. The position is unchanged.
std::string_view Probe(const TByteStream& stream) {
  const int64_t from = std::min(stream.Position(), stream.Size());
  std::string_view text = stream.View().substr(static_cast<size_t>(from));
  text = text.substr(0, static_cast<size_t>(std::min<int64_t>(kProbeSize, text.size())));
  return text.substr(0, text.find('\0'));
}

void CheckLimit(const std::string& bytes) {
  if (static_cast<int64_t>(bytes.size()) > TByteStream::kMaxSize) {
    throw TError(TByteStream::kExpandError);
  }
}

// Appends one marker to `stripped` and one entry to `module`.
void AppendEntry(std::string& stripped, std::string& module, int32_t number, TCommentKind kind,
                 std::string_view text) {
  scan::AppendMarker(stripped, number);
  TTipoNumero record;
  record.Number = number;
  record.Kind = kind;
  record.Length = static_cast<int32_t>(text.size());
  char head[TTipoNumero::kMaxText + 8] = {'(', '*'};
  char* end = record.Format(head + 2);
  std::memcpy(end, "*)\r\n'", 5);
  module.append(head, static_cast<size_t>(end + 5 - head));
  module.append(text);
  module.append("'\r\n", 3);
  CheckLimit(module);
  CheckLimit(stripped);
}

// The scan's writer of markers and entries. Entry numbers only ever go up by
// one, so the number's eight digits are kept as text and counted up in place
// rather than formatted anew for the marker and the record of every comment.
class TEntryWriter {
 public:
  TEntryWriter(std::string& stripped, std::string& module, int32_t& count)
      : FStripped(stripped), FModule(module), FCount(count) {
    if (FCount >= 0 && FCount < kLastFast) FormatRecordNumber(FDigits, FCount);
  }

  void Write(TCommentKind kind, std::string_view text) {
    if (FCount < 0 || FCount >= kLastFast || text.size() > 99999999) {
      AppendEntry(FStripped, FModule, ++FCount, kind, text);
      return;
    }
    ++FCount;
    for (int i = 7; i >= 0 && ++FDigits[i] > '9'; --i) FDigits[i] = '0';
    int lead = 0;
    while (FDigits[lead] == '0') ++lead;

    char marker[12] = {'{', '#'};
    std::memcpy(marker + 2, FDigits + lead, 8);
    marker[10 - lead] = '}';
    FStripped.append(marker, static_cast<size_t>(11 - lead));

    // "(*" number "," name "," length "*)" CR LF "'"
    char head[32] = {'(', '*'};
    std::memcpy(head + 2, FDigits, 8);
    std::memcpy(head + 10, kNames[kind], 8);
    FormatRecordNumber(head + 18, static_cast<int32_t>(text.size()));
    std::memcpy(head + 26, "*)\r\n'", 5);
    FModule.append(head, 31);
    FModule.append(text);
    FModule.append("'\r\n", 3);
    CheckLimit(FModule);
    CheckLimit(FStripped);
  }

 private:
  static constexpr int32_t kLastFast = 99999999;  // past it the digits grow
  static constexpr char kNames[5][9] = {",Bars  ,", ",Keys  ,", ",Pars  ,", ",Fin   ,", ",      ,"};
  std::string& FStripped;
  std::string& FModule;
  int32_t& FCount;
  char FDigits[12] = {};
};

}  // namespace

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
  module.Write(kFooter);
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
  try {
    if (ExtractFileExt(FileName) != ".pas") return false;
    if (IsNotUncommentable(source)) throw TError("Unit is not uncommentable");

    const char* const base = source.Data();
    const char* const end = base + source.Size();
    const char* p = base + std::min(source.Position(), source.Size());

    stripped.Clear();
    std::string& out = stripped.Bytes();
    out.reserve(static_cast<size_t>(end - p) + 16);
    module.Seek(module.Size());
    WriteModuleHeader(module, moduleUnitName, ExtractFileName(FileName));
    std::string& mod = module.Bytes();

    // Code and literals are copied in runs: `kept` is the first byte not yet
    // copied, and a run ends only where a comment begins.
    const char* kept = p;
    TEntryWriter writer(out, mod, CommentCount);
    auto comment = [&](const char* first, TCommentKind kind, const char* text, const char* last,
                       const char* after) {
      scan::AppendRange(out, kept, first);
      writer.Write(kind, std::string_view(text, last - text));
      kept = after;
    };

    while (p < end) {
      const char* q = scan::FindSpecial(p, end);
      if (q == end) break;
      const char next = q + 1 < end ? q[1] : '\0';
      switch (*q) {
        case '\'': {
          // A literal runs to the next quote; a doubled quote closes and reopens it.
          const char* close = scan::Find(q + 1, end, '\'');
          p = close < end ? close + 1 : end;
          break;
        }
        case '(':
          if (next != '*') {
            p = q + 1;
          } else if (q + 2 < end && q[2] == '$') {
            p = q + 3;  // "(*$" is a directive like "{$": kept, its text scanned as code
          } else if (const char* close = scan::FindParenClose(q + 2, end); close < end) {
            comment(q, ckParen, q + 2, close, close + 2);
            p = close + 2;
          } else {
            // Left open at the end: the text stays, but markers quoted in it
            // would be taken for real ones on the way back, so they become
            // entries of their own.
            for (const char* brace = scan::Find(q + 2, end, '{'); brace < end;
                 brace = scan::Find(brace + 1, end, '{')) {
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
            // A line comment on the last line, with no line break, is an entry too.
            const char* lf = scan::Find(q + 2, end, '\n');
            p = lf < end ? lf + 1 : end;
            comment(q, ckLine, q + 2, p, p);
          } else {
            p = q + 1;
          }
          break;
        case '{':
          if (next == '$') {
            p = q + 2;
          } else if (const char* close = scan::Find(q + 1, end, '}'); close < end) {
            comment(q, ckBrace, q + 1, close, close + 1);
            p = close + 1;
          } else {
            p = end;  // left open at the end: it holds no "}", so no marker either; it stays
          }
          break;
      }
    }
    scan::AppendRange(out, kept, end);
    writer.Write(ckEnd, std::string_view());
    source.Seek(source.Size());
    module.Seek(module.Size());
    WriteModuleFooter(module);
    stripped.Seek(stripped.Size());
    ModuleUnitName = moduleUnitName;
    LastUncommented = FileName;
    return true;
  } catch (...) {
    return false;
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
  }
  return {};
}

}  // namespace scrivlock::source
