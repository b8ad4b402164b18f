#include "commands/Commands.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <future>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "base/Error.h"
#include "base/FileNames.h"
#include "base/LineFeeds.h"
#include "commands/Messages.h"
#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolServices.h"
#include "source/Dialect.h"
#include "source/ModuleSkip.h"
#include "source/SourceClass.h"

namespace scrivlock::commands {

using hostintf::TIEditorInterface;
using hostintf::TIEditReader;
using hostintf::TIEditWriter;
using hostintf::TIModuleInterface;
using hostintf::TInterfacePtr;
using hostintf::ToolServices;

namespace {

// Gives `stream` room for `capacity` bytes, so that a big text is allocated
// once instead of growing by copies. Only a hint: a capacity that is out of
// range or cannot be had is ignored, and the stream grows as it must.
void TryReserve(TByteStream& stream, int64_t capacity) {
  if (capacity <= 0 || capacity > TByteStream::kMaxSize) return;
  try {
    stream.Reserve(capacity);
  } catch (const TError&) {
    // The stream grows as it must.
  }
}

// Cuts `stream` back to a size when it goes, so that a read that fails, by a
// count out of range or by an exception, leaves no unset bytes in it.
class TCutBack {
 public:
  TCutBack(TByteStream& stream, int64_t size) : FStream(stream), FSize(size) {}
  ~TCutBack() { FStream.Truncate(FSize); }
  TCutBack(const TCutBack&) = delete;
  TCutBack& operator=(const TCutBack&) = delete;
  void Keep(int64_t size) { FSize = size; }

 private:
  TByteStream& FStream;
  int64_t FSize;
};

// Reads `count` bytes at `position` into the end of `stream` without a copy
// in between; as writing them with stream.Write would, it leaves the stream
// unchanged when the host fails or delivers a count out of range.
int32_t ReadChunkInto(TIEditReader& reader, int32_t position, int32_t count, TByteStream& stream) {
  const int64_t at = stream.Size();
  if (at > TByteStream::kMaxSize - count) {
    // Near the limit: a chunk that does not fit is refused only if it comes.
    std::vector<char> chunk(static_cast<size_t>(count));
    const int32_t delivered = reader.GetText(position, chunk.data(), count);
    if (delivered < 0 || delivered > count) return delivered;
    stream.Append(std::string_view(chunk.data(), static_cast<size_t>(delivered)));
    stream.Seek(stream.Size());
    return delivered;
  }
  char* const chunk = stream.Extend(count);
  TCutBack cutBack(stream, at);
  const int32_t delivered = reader.GetText(position, chunk, count);
  if (delivered < 0 || delivered > count) return delivered;
  cutBack.Keep(at + delivered);
  stream.Seek(at + delivered);
  return delivered;
}

// The first zero byte of `count` bytes at `bytes`, which stand at `position`
// of the text, is recorded in `firstZero` unless one was found before.
void NoteZero(const char* bytes, int32_t count, int64_t position, int64_t* firstZero) {
  if (firstZero == nullptr || *firstZero >= 0 || count <= 0) return;
  if (const void* zero = std::memchr(bytes, 0, static_cast<size_t>(count))) {
    *firstZero = position + (static_cast<const char*>(zero) - bytes);
  }
}

// How a whole text is read: chunk by chunk, as ReadModuleText promises its
// callers, or, where the reader tells the text's length, in pieces of
// ReadPieceSize straight into the stream, each checked for a zero byte while
// it is still in the cache. A reader delivers fewer bytes than asked only at
// the end of the text, so both read the same text. The commands read a whole
// unit in pieces: few calls to the host, no copy in between, and no second
// pass over memory. A test for a commenting module reads only the head it
// looks at: a project's every unit is read so, and most are no module.
enum TReadMode { rmChunks, rmPieces, rmHead };

// Backs a stream's memory with pages on a second thread, ahead of a reader
// that fills it piece by piece: on a virtual machine, finding and clearing
// fresh memory for a big text took as long as reading the text into it. The
// stream must not grow while it works (Stop first); where no thread can be
// had, or the system cannot, the reader's writes find the memory as before.
class TPopulateAhead {
 public:
  // Backs bytes [from, to) of `stream`, each step a little ahead of Passed.
  TPopulateAhead(const TByteStream& stream, int64_t from, int64_t to) {
    try {
      FThread = std::thread([this, &stream, from, to] {
        for (int64_t at = from; at < to && !FStop.load(std::memory_order_relaxed); at += kStep) {
          at = std::max(at, FPassed.load(std::memory_order_relaxed));
          if (!stream.Populate(at, std::min(kStep, to - at))) return;
        }
      });
    } catch (const std::system_error&) {
      // The reader's writes find the memory themselves.
    }
  }
  ~TPopulateAhead() { Stop(); }
  TPopulateAhead(const TPopulateAhead&) = delete;
  TPopulateAhead& operator=(const TPopulateAhead&) = delete;

  // The reader has filled the stream up to `position`: what lies before it
  // needs no backing.
  void Passed(int64_t position) { FPassed.store(position, std::memory_order_relaxed); }
  // Waits until the thread is done, telling it to stop where it is.
  void Stop() {
    FStop.store(true, std::memory_order_relaxed);
    if (FThread.joinable()) FThread.join();
  }

 private:
  static constexpr int64_t kStep = int64_t{4} << 20;

  std::atomic<int64_t> FPassed{0};
  std::atomic<bool> FStop{false};
  std::thread FThread;  // last: it starts once the rest is set
};

// Reads `editor`'s text as ReadModuleText describes (see TReadMode) and returns
// the number of characters delivered; none when the host has no reader,
// delivers a count out of range, or has more text than a stream can hold. What
// the host throws goes on to the caller. When `firstZero` is given, it is set
// to where the first zero byte read stands, or -1.
std::optional<int64_t> ReadEditorText(TIEditorInterface& editor, TByteStream* stream,
                                      int32_t chunkLimit, int64_t* firstZero, TReadMode mode) {
  if (firstZero != nullptr) *firstZero = -1;
  TInterfacePtr<TIEditReader> reader(editor.CreateReader());
  if (!reader) return std::nullopt;
  const bool keep = chunkLimit != clCountOnly && stream;
  if (stream) stream->Seek(0);
  // Texts of many megabytes have their memory backed ahead of the reads.
  constexpr int64_t kPopulateFrom = int64_t{16} << 20;
  std::optional<TPopulateAhead> ahead;
  // What each read asks for.
  int32_t want =
      mode == rmHead ? static_cast<int32_t>(source::TSourceClass::kProbeSize) : ReadChunkSize;
  if (keep && chunkLimit == clWhole && stream->Size() == 0) {
    const int64_t length = reader->TextLength();
    const int32_t piece =
        mode == rmPieces && length > ReadChunkSize ? ReadPieceSize : ReadChunkSize;
    // The last read asks for a whole piece however little is left. A wrong
    // length costs a few more reads, not another text.
    if (length > 0) TryReserve(*stream, length + piece);
    if (length > 0 && length <= stream->Capacity() - piece) want = piece;
    if (want == piece && length >= kPopulateFrom) ahead.emplace(*stream, 0, length);
  }
  std::vector<char> buffer;
  int64_t position = 0;
  for (;;) {
    // The reader's positions are 32-bit, as are the system's stream sizes.
    if (position > TByteStream::kMaxSize) return std::nullopt;
    int32_t delivered;
    if (keep && stream->Position() == stream->Size()) {
      // A text longer than told makes the stream grow.
      if (ahead && stream->Size() + want > stream->Capacity()) ahead->Stop();
      delivered = ReadChunkInto(*reader, static_cast<int32_t>(position), want, *stream);
      if (ahead) ahead->Passed(stream->Size());
      if (delivered < 0 || delivered > want) return std::nullopt;
      NoteZero(stream->Data() + stream->Size() - delivered, delivered, position, firstZero);
    } else {
      buffer.assign(static_cast<size_t>(want), '\0');
      delivered = reader->GetText(static_cast<int32_t>(position), buffer.data(), want);
      if (delivered < 0 || delivered > want) return std::nullopt;
      if (keep) stream->Write(buffer.data(), delivered);
      NoteZero(buffer.data(), delivered, position, firstZero);
    }
    position += delivered;
    if (delivered < want || chunkLimit > 0) break;
  }
  return position;
}

// The one place where the commands stop what the host throws. Reading and
// writing a buffer swallow their failures (a text that cannot be read is
// reported as such, and every write is checked by reading the buffer back), so
// a host that throws on the way is a host that did not deliver: `action`'s
// result becomes empty (none, false, or nothing done).
template <class TAction>
auto HostCall(TAction&& action) noexcept -> decltype(action()) {
  try {
    return action();
  } catch (...) {
    return decltype(action())();
  }
}

// The text of the module `fileName` as ReadModuleText reads it; none when the
// host cannot deliver it.
std::optional<int64_t> ReadText(const std::string& fileName, TByteStream& stream,
                                int32_t chunkLimit, int64_t* firstZero = nullptr,
                                TReadMode mode = rmChunks) {
  if (firstZero != nullptr) *firstZero = -1;
  if (!ToolServices) return std::nullopt;
  return HostCall([&]() -> std::optional<int64_t> {
    TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
    if (!module) return std::nullopt;
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    if (!editor) return std::nullopt;
    return ReadEditorText(*editor, &stream, chunkLimit, firstZero, mode);
  });
}

// Replaces the text of `module`'s buffer by the bytes of `stream` from its
// position on (see WriteModuleText). Whether it took is for the caller to check
// by reading the buffer back.
void WriteText(TIModuleInterface& module, TByteStream& stream) {
  HostCall([&] {
    TInterfacePtr<TIEditorInterface> editor(module.GetEditorInterface());
    if (!editor) return;
    // The stream keeps a zero after its bytes: the writer's text ends there, or
    // at the first zero byte of the stream. So the writer reads the stream in
    // place, not a zero-terminated copy of it.
    const int64_t from = std::min(stream.Position(), stream.Size());
    const char* const text = stream.Data() + from;
    stream.Seek(stream.Size());
    TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
    if (!writer || !writer->Insert(text)) return;
    // Writer positions are those of the old text, and a position past its end
    // stops there (see EditIntf.h): this removes all of it, whatever its length,
    // without reading it only to count it.
    writer->DeleteTo(static_cast<int32_t>(TByteStream::kMaxSize - 1));
    writer.Reset();  // the host applies the writer's changes when it is released
  });
}

// Whether `module`'s buffer holds exactly `expected`: its text is read back
// through the host's reader and compared byte for byte on the way, so what is
// checked is what the host will save, not the stream it was given. It is read
// in pieces much larger than a chunk (a reader delivers fewer bytes than asked
// only at the end of the text), so that a big text costs few calls and no copy
// inside the host. A buffer that cannot be read holds nothing that can be
// relied on.
bool BufferHolds(TIModuleInterface& module, std::string_view expected) {
  return HostCall([&] {
    TInterfacePtr<TIEditorInterface> editor(module.GetEditorInterface());
    if (!editor) return false;
    TInterfacePtr<TIEditReader> reader(editor->CreateReader());
    if (!reader) return false;
    std::vector<char> buffer(static_cast<size_t>(
        std::min<int64_t>(ReadPieceSize, static_cast<int64_t>(expected.size()) + ReadChunkSize)));
    const auto piece = static_cast<int32_t>(buffer.size());
    size_t matched = 0;
    for (int64_t position = 0; position <= TByteStream::kMaxSize; position += piece) {
      const int32_t delivered =
          reader->GetText(static_cast<int32_t>(position), buffer.data(), piece);
      if (delivered < 0 || delivered > piece) return false;
      const std::string_view chunk(buffer.data(), static_cast<size_t>(delivered));
      if (expected.substr(matched, chunk.size()) != chunk) return false;
      matched += chunk.size();
      if (delivered < piece) break;
    }
    return matched == expected.size();
  });
}

bool ModuleBufferHolds(const std::string& fileName, std::string_view expected) {
  return HostCall([&] {
    TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
    return module && BufferHolds(*module, expected);
  });
}

// Disables the two buttons in the given order and enables them again in the
// same order however the command ends. The site's button calls do not throw,
// so nothing can replace a failure already on its way out.
class TButtonsDisabled {
 public:
  TButtonsDisabled(TCommandSite& site, TCommandButton first, TCommandButton second)
      : FSite(site), FFirst(first), FSecond(second) {
    FSite.SetButtonEnabled(FFirst, false);
    FSite.SetButtonEnabled(FSecond, false);
  }
  ~TButtonsDisabled() {
    FSite.SetButtonEnabled(FFirst, true);
    FSite.SetButtonEnabled(FSecond, true);
  }
  TButtonsDisabled(const TButtonsDisabled&) = delete;
  TButtonsDisabled& operator=(const TButtonsDisabled&) = delete;

 private:
  TCommandSite& FSite;
  TCommandButton FFirst;
  TCommandButton FSecond;
};

// Gives the memory of texts back. The commands hold several texts the size of
// the unit; each goes as soon as the command is done with it, so that the next
// one can take its place. Handing a hundred megabytes back to the system takes
// tens of milliseconds that the command need not wait for while it writes, so
// big ones go on a second thread, joined when the object goes: no thread
// outlives the command.
class TBackgroundRelease {
 public:
  TBackgroundRelease() = default;
  TBackgroundRelease(const TBackgroundRelease&) = delete;
  TBackgroundRelease& operator=(const TBackgroundRelease&) = delete;
  ~TBackgroundRelease() { Join(); }

  // Empties the streams at once; their memory goes on the second thread, or
  // here when they are small or no thread can be had.
  template <class... TStreams>
  void Release(TStreams&... streams) {
    Join();
    std::vector<TByteStream> taken;
    int64_t capacity = 0;
    for (TByteStream* stream : {&streams...}) {
      capacity += stream->Capacity();
      taken.push_back(std::move(*stream));
    }
    if (capacity < kMinimum) return;  // freed here, as `taken` goes
    try {
      FThread = std::thread([texts = std::move(taken)]() mutable { texts.clear(); });
    } catch (const std::system_error&) {
      // No thread to be had: the texts are freed here, as the lambda goes.
    }
  }

 private:
  static constexpr int64_t kMinimum = int64_t{8} << 20;

  void Join() {
    if (FThread.joinable()) FThread.join();
  }

  std::thread FThread;
};

// Runs `work` on a second thread when it is `large` enough to pay for one,
// and hands back its future; otherwise, or where no thread can be had, the
// work is done when the future is asked for it. The future waits for the work
// when it goes, so no thread outlives what it reads.
template <class TWork>
auto OnSideThread(TWork work, bool large) {
  if (large) {
    try {
      return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
      // Done when asked for, as below.
    }
  }
  return std::async(std::launch::deferred, work);
}

// Texts smaller than this are worked through on the command's own thread.
constexpr int64_t kSideWorkFrom = int64_t{1} << 20;

int64_t ZeroBytePosition(const TByteStream& stream) {
  const size_t zero = stream.View().find('\0');
  return zero == std::string_view::npos ? -1 : static_cast<int64_t>(zero);
}

// The unit identifier an IDE gives a unit file: its name without extension.
std::string UnitIdentOf(std::string_view fileName) {
  std::string_view name = ExtractFileName(fileName);
  name.remove_suffix(ExtractFileExt(name).size());
  return std::string(name);
}

constexpr hostintf::TCreateModuleFlags NewModuleFlags =
    hostintf::CreateFlag(hostintf::cmAddToProject) | hostintf::CreateFlag(hostintf::cmShowSource) |
    hostintf::CreateFlag(hostintf::cmUnNamed) | hostintf::CreateFlag(hostintf::cmNewUnit) |
    hostintf::CreateFlag(hostintf::cmMarkModified);
static_assert(NewModuleFlags == 0x9B);

// How a command step refuses: it throws the message for the user, and the
// command shows it (RunCommand). Nothing else is thrown for a refusal, and a
// refusal never leaves this file.
struct TRefusal {
  explicit TRefusal(std::string message, std::optional<TTextPlace> place = std::nullopt)
      : Message(std::move(message)), Place(std::move(place)) {}
  std::string Message;
  std::optional<TTextPlace> Place;  // where in a unit, when it is about a place
};

// Line and column (from 1) of byte `offset` of `text`, a unit named `fileName`.
TTextPlace PlaceIn(const std::string& fileName, std::string_view text, int64_t offset) {
  const size_t at = static_cast<size_t>(std::clamp<int64_t>(offset, 0, int64_t(text.size())));
  const std::string_view before = text.substr(0, at);
  const size_t lineStart = before.rfind('\n');
  const int64_t line = 1 + CountLineFeeds(before);
  const int64_t column =
      static_cast<int64_t>(at - (lineStart == std::string_view::npos ? 0 : lineStart + 1)) + 1;
  return {fileName, line, column};
}

// Runs one command's steps: true when they complete; false, after the
// message, when one refuses. Every other failure goes on to the caller.
template <class TSteps>
bool RunCommand(TCommandSite& site, TSteps&& steps) {
  try {
    steps();
    return true;
  } catch (const TRefusal& refusal) {
    if (refusal.Place) {
      site.ShowMessageAt(refusal.Message, *refusal.Place);
    } else {
      site.ShowMessage(refusal.Message);
    }
    return false;
  }
}

// The whole text of the chosen unit, which must be non-empty and free of zero
// bytes (the editor's zero-terminated writer would cut it short).
TByteStream ReadUnit(const std::string& unitFile) {
  TByteStream text;
  int64_t zero = -1;
  const std::optional<int64_t> length = ReadText(unitFile, text, clWhole, &zero, rmPieces);
  if (!length) throw TRefusal{MsgCannotRead(unitFile)};
  if (*length == 0) throw TRefusal{MsgEmptyUnit(unitFile)};
  if (zero >= 0) throw TRefusal{MsgZeroByte(unitFile, zero), PlaceIn(unitFile, text.View(), zero)};
  return text;
}

// The project's dialect for a module, which names no mode of its own.
source::TDialect ProjectDialect(const std::string& unitFile, const std::string& dialect) {
  if (dialect == "fpc") return source::dlFpc;
  if (dialect != "auto") return source::dlDelphi;
  return source::DialectOfMode(
             ToolServices->GetProjectOption(unitFile, hostintf::kOptionProjectMode))
      .value_or(source::dlFpc);
}

// How the project wants `unitFile`, whose text is `text`, read.
source::TScanOptions ScanOptionsFor(const std::string& unitFile, std::string_view text) {
  source::TScanOptions options;
  const std::string dialect = ToolServices->GetProjectOption(unitFile, hostintf::kOptionDialect);
  options.Dialect = ProjectDialect(unitFile, dialect);
  if (dialect == "auto") options.Dialect = source::AutoDialect(text, options.Dialect);
  options.KeepLines = ToolServices->GetProjectOption(unitFile, hostintf::kOptionKeepLines) == "on";
  return options;
}

// Strips `source` into `stripped` and `module` for a module named
// `moduleUnitName`, refusing with the message for UnComment's reason.
void Strip(const std::string& unitFile, TByteStream& source, TByteStream& stripped,
           TByteStream& module, const std::string& moduleUnitName,
           const source::TScanOptions& options) {
  source::TSourceClass processor;
  source.Seek(0);
  processor.FileName = unitFile;
  processor.Options = options;
  // The unit's text is read afresh where it is needed again.
  processor.GiveBackInputs = true;
  if (!processor.UnComment(source, stripped, module, moduleUnitName)) {
    throw TRefusal{UnCommentRefusalMessage(processor.LastRefusal(), unitFile)};
  }
}

// A module that is the unit's only one, while the unit holds none of the
// markers a module's entries go with, is a left-over.
void RefuseStaleModule(const std::string& unitFile, const TByteStream& unit,
                       const std::string& moduleFile) {
  if (!moduleFile.empty() && !source::HoldsMarker(unit.View())) {
    throw TRefusal{MsgStaleModule(unitFile, moduleFile)};
  }
}

// What the user is told when the project will not build while the unit is
// uncommented: about the place of the marker that stands for the comment that
// causes it.
struct TWarning {
  std::string Message;
  std::optional<TTextPlace> Place;
};

std::optional<TWarning> UnComment(const TUnitFileList& units, const std::string& unitFile) {
  std::string moduleFile;
  if (FindCommentingModules(unitFile, units, moduleFile) >= 1) {
    if (!moduleFile.empty()) {
      TByteStream unit;
      if (ReadText(unitFile, unit, clWhole)) RefuseStaleModule(unitFile, unit, moduleFile);
    }
    throw TRefusal{MsgAlreadyUncommented(unitFile, moduleFile)};
  }
  TByteStream source = ReadUnit(unitFile);
  const source::TScanOptions options = ScanOptionsFor(unitFile, source.View());

  std::string newIdent, newFile;
  ToolServices->GetNewModuleName(newIdent, newFile);
  TByteStream stripped, module;
  {
    // The module holds the comments' texts: as much as the unit is an upper
    // bound for any but a unit of tiny comments. Pages never written cost no
    // memory.
    TryReserve(module, source.Size());
    // The stripped text is at most about as long as the unit. Its memory is
    // mapped as the scan writes it, in huge pages (TByteStream), so that only
    // what is written costs memory: mapping all of it ahead on a second thread
    // took as long and held up to half the unit's size more.
    TryReserve(stripped, source.Size() + 64);
    Strip(unitFile, source, stripped, module, newIdent, options);
  }

  // The commenting module is created and filled before the unit is touched, so
  // that a host that gives no module, or one that does not take the text,
  // leaves the unit with all its comments.
  TInterfacePtr<TIModuleInterface> newModule(
      ToolServices->CreateModuleEx("", "", "", "", nullptr, nullptr, NewModuleFlags));
  if (!newModule) throw TRefusal{MsgCannotCreateModule(unitFile)};
  std::string createdFile = newFile;
  {
    TInterfacePtr<TIEditorInterface> editor(newModule->GetEditorInterface());
    if (editor) {
      editor->SetSyntaxHighlighter(hostintf::shNone);
      createdFile = editor->FileName();
    }
  }
  if (!SameText(createdFile, newFile) && !createdFile.empty()) {
    // The host named the new unit otherwise than it proposed: name the module
    // after the unit it really is.
    stripped.Clear();
    module.Clear();
    source = ReadUnit(unitFile);
    Strip(unitFile, source, stripped, module, UnitIdentOf(createdFile), options);
  }
  const source::TDialect moduleDialect =
      ProjectDialect(unitFile, ToolServices->GetProjectOption(unitFile, hostintf::kOptionDialect));
  // The skip check reads the module while the host takes and reads back its
  // text; declared after the module, it is done before the module goes.
  std::future<source::TSkipProblem> foresight = OnSideThread(
      [&module, moduleDialect] { return source::ForeseeSkipProblem(module.View(), moduleDialect); },
      module.Size() >= kSideWorkFrom);
  TBackgroundRelease release;
  release.Release(source);
  module.Seek(0);
  WriteText(*newModule, module);
  if (!BufferHolds(*newModule, module.View())) {
    throw TRefusal{MsgCannotFillModule(unitFile, createdFile)};
  }
  newModule.Reset();
  const source::TSkipProblem skip = foresight.get();
  release.Release(module);

  stripped.Seek(0);
  WriteModuleText(unitFile, &stripped);
  if (!ModuleBufferHolds(unitFile, stripped.View())) {
    throw TRefusal{MsgUnitNotStripped(unitFile, createdFile)};
  }
  if (!skip.Found) return std::nullopt;
  TWarning warning{MsgModuleNotSkippable(unitFile, createdFile, skip.Entry), std::nullopt};
  if (skip.Entry > 0) {
    const std::string marker = "{#" + std::to_string(skip.Entry) + "}";
    if (const size_t at = stripped.View().find(marker); at != std::string_view::npos) {
      warning.Place = PlaceIn(unitFile, stripped.View(), static_cast<int64_t>(at));
    }
  }
  return warning;
}

// Whether the stop is at a marker of the unit (its Offset), rather than about
// the module or the whole unit.
bool HasPlace(const source::TReCommentStop& stop) {
  switch (stop.Reason) {
    case source::TReCommentStop::rsMismatch:
    case source::TReCommentStop::rsNoEntryLeft:
    case source::TReCommentStop::rsAfterEnd:
    case source::TReCommentStop::rsWrongEndNumber:
    case source::TReCommentStop::rsUnknownKind:
    case source::TReCommentStop::rsDamagedEntry:
      return true;
    default:
      return false;
  }
}

void ReComment(TCommandSite& site, const TUnitFileList& units, const std::string& unitFile) {
  TByteStream stripped = ReadUnit(unitFile);
  std::string moduleFile;
  const int32_t count = FindCommentingModules(unitFile, units, moduleFile);
  if (count > 1) throw TRefusal{MsgSeveralModules(unitFile, count)};
  if (count == 0) throw TRefusal{MsgNoModule(unitFile)};
  RefuseStaleModule(unitFile, stripped, moduleFile);
  TByteStream module;
  int64_t moduleZero = -1;
  if (!ReadText(moduleFile, module, clWhole, &moduleZero, rmPieces)) {
    throw TRefusal{MsgCannotReadModule(unitFile, moduleFile)};
  }

  TByteStream restored;
  {
    source::TSourceClass processor;
    stripped.Seek(0);
    module.Seek(0);
    // The restored text is at most as long as the two together.
    TryReserve(restored, stripped.Size() + module.Size());
    // The unit's text is read afresh where it is needed again.
    processor.GiveBackInputs = true;
    if (!processor.ReComment(stripped, module, restored)) {
      const source::TReCommentStop& stop = processor.LastStop();
      TRefusal refusal{MsgReCommentStopped(unitFile, moduleFile, stop.Describe())};
      if (TByteStream unit; HasPlace(stop) && ReadText(unitFile, unit, clWhole)) {
        refusal.Place = PlaceIn(unitFile, unit.View(), stop.Offset);
      }
      throw refusal;
    }
  }
  // The restored text is made of the unit's bytes and the module's: only a
  // module that holds a zero byte can have brought one.
  if (const int64_t zero = moduleZero < 0 ? -1 : ZeroBytePosition(restored); zero >= 0) {
    throw TRefusal{MsgZeroByte(moduleFile, zero)};
  }
  TBackgroundRelease release;
  release.Release(stripped, module);
  restored.Seek(0);
  WriteModuleText(unitFile, &restored);
  // The module's file goes only once the unit's buffer holds every comment.
  if (!ModuleBufferHolds(unitFile, restored.View())) {
    throw TRefusal{MsgUnitNotRestored(unitFile, moduleFile)};
  }
  TInterfacePtr<TIModuleInterface> oldModule(ToolServices->GetModuleInterface(moduleFile));
  site.DeleteModuleFile(moduleFile);
  if (oldModule) oldModule->Close();
}

}  // namespace

int64_t ReadModuleText(const std::string& fileName, TByteStream* stream, int32_t chunkLimit) {
  if (!stream) return 0;
  return ReadText(fileName, *stream, chunkLimit).value_or(0);
}

int64_t ReadModuleHead(const std::string& fileName, TByteStream* stream) {
  if (!stream) return 0;
  return ReadText(fileName, *stream, clFirstChunk, nullptr, rmHead).value_or(0);
}

void WriteModuleText(const std::string& fileName, TByteStream* stream) {
  if (!stream || !ToolServices) return;
  HostCall([&] {
    TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
    if (module) WriteText(*module, *stream);
  });
}

int32_t FindCommentingModules(const std::string& unitFile, const TUnitFileList& units,
                              std::string& moduleFile) {
  moduleFile.clear();
  source::TSourceClass processor;
  std::vector<int> found;
  TByteStream scratch;
  // The module's header records the unit's name and extension, not its folder.
  const std::string unitName(ExtractFileName(unitFile));
  for (int i = 0; i < units.Count(); ++i) {
    scratch.Clear();
    // An entry whose text cannot be read is no module.
    ReadText(units[i], scratch, clFirstChunk, nullptr, rmHead);
    scratch.Seek(0);
    if (processor.IsModuleOf(scratch, unitName)) found.push_back(i);
  }
  if (found.size() == 1) moduleFile = units[found.front()];
  return static_cast<int32_t>(found.size());
}

bool UnCommentUnit(TCommandSite& site, const TUnitFileList& units, const std::string& unitFileArg) {
  // A copy: the host's notification of the new unit may grow the list that
  // `unitFileArg` lives in.
  const std::string unitFile = unitFileArg;
  const TButtonsDisabled disabled(site, cbReComment, cbUnComment);
  std::optional<TWarning> warning;
  const bool done = RunCommand(site, [&] { warning = UnComment(units, unitFile); });
  if (done && warning) {
    if (warning->Place) {
      site.ShowMessageAt(warning->Message, *warning->Place);
    } else {
      site.ShowMessage(warning->Message);
    }
  }
  return done;
}

bool ReCommentUnit(TCommandSite& site, const TUnitFileList& units, const std::string& unitFileArg) {
  const std::string unitFile = unitFileArg;
  const TButtonsDisabled disabled(site, cbUnComment, cbReComment);
  return RunCommand(site, [&] { ReComment(site, units, unitFile); });
}

bool CommBtnsClick(TCommandSite& site, TCommandButton sender, const TUnitFileList& units,
                   std::string_view comboText, int selectedIndex) {
  if (comboText.empty()) {
    site.ShowMessage(MsgSelectUnit);
    return false;
  }
  if (selectedIndex < 0 || selectedIndex >= units.Count()) return false;
  const std::string unitFile = units[selectedIndex];
  return sender == cbUnComment ? UnCommentUnit(site, units, unitFile)
                               : ReCommentUnit(site, units, unitFile);
}

}  // namespace scrivlock::commands
