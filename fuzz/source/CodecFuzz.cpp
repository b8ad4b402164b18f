// The module's record codec, the item splitting and IsModuleOf on any bytes:
// no crash or hang, and what is written reads back.
#include <string>

#include "FuzzUtil.h"
#include "base/ItemSplit.h"
#include "source/Record.h"
#include "source/SourceClass.h"
#include "source/TipoNumero.h"

using namespace scrivlock;
using namespace scrivlock::source;

namespace {

int32_t Int32At(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // Any record text reads, or leaves the fields alone.
  record::TFields fields{7, ckParen, 9};
  const record::TFields before = fields;
  if (!record::ParseRecord(text, fields)) {
    fuzz::Check(fields.Number == before.Number && fields.Kind == before.Kind &&
                    fields.Length == before.Length,
                "an unread record changed the fields");
  }
  // The standard form reads as the split does.
  if (size >= record::kRecord) {
    record::TFields standard;
    if (record::ParseStandardRecord(text.data(), standard)) {
      const std::vector<std::string> items = SplitItems(text.substr(0, record::kRecord));
      int32_t number = 0;
      int32_t length = 0;
      fuzz::Check(items.size() == 3 && ParseInt32(items[0], number) && number == standard.Number &&
                      record::KindFromName(items[1]) == standard.Kind &&
                      ParseInt32(items[2], length) && length == standard.Length,
                  "the standard record reads otherwise than split");
    }
  }
  // What is written reads back as it was.
  if (size >= 9) {
    const record::TFields written{Int32At(data), static_cast<TCommentKind>(data[4] % 5),
                                  Int32At(data + 5)};
    char out[record::kMaxHead];
    const std::string_view head(out, static_cast<size_t>(record::FormatHead(out, written) - out));
    fuzz::Check(head.size() <= record::kMaxHead, "a head outgrew its room");
    record::TFields read;
    fuzz::Check(record::ParseRecord(head.substr(2, head.size() - 7), read) &&
                    read.Number == written.Number && read.Kind == written.Kind &&
                    read.Length == written.Length,
                "a written record reads back otherwise");
    TTipoNumero tipo;
    tipo.Number = written.Number;
    tipo.Kind = written.Kind;
    tipo.Length = written.Length;
    fuzz::Check(tipo.ToText() == head.substr(2, head.size() - 7), "TTipoNumero writes otherwise");
  }
  // Items hold no more than the text.
  size_t held = 0;
  for (const std::string& item : SplitItems(text)) held += item.size();
  fuzz::Check(held <= size, "the items hold more than the text");

  // Any text: IsModuleOf answers and leaves the position.
  TSourceClass processor;
  TByteStream module(text);
  module.Seek(size / 3);
  processor.IsModuleOf(module, text.substr(0, std::min<size_t>(size, 12)));
  fuzz::Check(module.Position() == static_cast<int64_t>(size / 3), "IsModuleOf moved the stream");
  // A header written for a name that can be recorded finds that name again.
  const std::string_view name = text.substr(0, std::min<size_t>(size, 200));
  if (CanRecordFileName(name)) {
    TByteStream header;
    processor.WriteModuleHeader(header, "Unit2", name);
    header.Seek(0);
    fuzz::Check(processor.IsModuleOf(header, name), "a recorded name is not found again");
  }
  return 0;
}
