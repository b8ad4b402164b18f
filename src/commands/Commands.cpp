#include "commands/Commands.h"

#include <algorithm>
#include <vector>

#include "base/FileNames.h"
#include "commands/Messages.h"
#include "expert/InterfacePtr.h"
#include "expert/ToolServices.h"
#include "source/SourceClass.h"

namespace scrivlock::commands {

using expert::TIEditorInterface;
using expert::TIEditReader;
using expert::TIEditWriter;
using expert::TIModuleInterface;
using expert::TInterfacePtr;
using expert::ToolServices;

namespace {

// Reads `editor`'s text in chunks as ReadModuleText describes. Throws on a
// host that misbehaves; the callers turn that into their results.
int64_t ReadEditorText(TIEditorInterface& editor, TByteStream* stream, int32_t chunkLimit) {
  TInterfacePtr<TIEditReader> reader(editor.CreateReader());
  if (!reader) return 0;
  if (stream) stream->Seek(0);
  std::vector<char> buffer(ReadChunkSize);
  int64_t index = 0;
  int32_t delivered = 0;
  for (;; ++index) {
    const int64_t position = index * ReadChunkSize;
    // The reader's positions are 32-bit, as are the system's stream sizes.
    if (position > TByteStream::kMaxSize) return 0;
    std::fill(buffer.begin(), buffer.end(), '\0');
    delivered = reader->GetText(static_cast<int32_t>(position), buffer.data(), ReadChunkSize);
    if (delivered < 0 || delivered > ReadChunkSize) return 0;
    if (chunkLimit != clCountOnly && stream) stream->Write(buffer.data(), delivered);
    if (delivered < ReadChunkSize || chunkLimit > 0) break;
  }
  return index * ReadChunkSize + delivered;
}

// Whether `module`'s buffer holds exactly `expected`.
bool BufferHolds(TIModuleInterface& module, std::string_view expected) {
  try {
    TInterfacePtr<TIEditorInterface> editor(module.GetEditorInterface());
    if (!editor) return false;
    TByteStream text;
    ReadEditorText(*editor, &text, clWhole);
    return text.View() == expected;
  } catch (...) {
    return false;
  }
}

bool ModuleBufferHolds(const std::string& fileName, std::string_view expected) {
  TInterfacePtr<TIModuleInterface> module(ToolServices ? ToolServices->GetModuleInterface(fileName)
                                                       : nullptr);
  return module && BufferHolds(*module, expected);
}

// Disables the two buttons in the given order and enables them again in the
// same order however the command ends.
class TButtonsDisabled {
 public:
  TButtonsDisabled(TCommandSite& site, TCommandButton first, TCommandButton second)
      : FSite(site), FFirst(first), FSecond(second) {
    FSite.SetButtonEnabled(FFirst, false);
    FSite.SetButtonEnabled(FSecond, false);
  }
  ~TButtonsDisabled() {
    // A failure here must not replace one already on its way out.
    try {
      FSite.SetButtonEnabled(FFirst, true);
      FSite.SetButtonEnabled(FSecond, true);
    } catch (...) {
    }
  }
  TButtonsDisabled(const TButtonsDisabled&) = delete;
  TButtonsDisabled& operator=(const TButtonsDisabled&) = delete;

 private:
  TCommandSite& FSite;
  TCommandButton FFirst;
  TCommandButton FSecond;
};

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

constexpr expert::TCreateModuleFlags NewModuleFlags =
    expert::CreateFlag(expert::cmAddToProject) | expert::CreateFlag(expert::cmShowSource) |
    expert::CreateFlag(expert::cmUnNamed) | expert::CreateFlag(expert::cmNewUnit) |
    expert::CreateFlag(expert::cmMarkModified);
static_assert(NewModuleFlags == 0x9B);

}  // namespace

int64_t ReadModuleText(const std::string& fileName, TByteStream* stream, int32_t chunkLimit) {
  if (!stream || !ToolServices) return 0;
  try {
    TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
    if (!module) return 0;
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    if (!editor) return 0;
    return ReadEditorText(*editor, stream, chunkLimit);
  } catch (...) {
    return 0;
  }
}

bool WriteModuleText(TIModuleInterface* module, TByteStream& stream) {
  if (!module) return false;
  try {
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    if (!editor) return false;
    const int64_t oldLength = ReadEditorText(*editor, nullptr, clCountOnly);
    // std::string keeps a terminating zero: the writer's text ends there, or at
    // the first zero byte of the stream.
    const int64_t from = std::min(stream.Position(), stream.Size());
    const std::string text(stream.View().substr(static_cast<size_t>(from)));
    stream.Seek(stream.Size());
    TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
    if (!writer) return false;
    if (!writer->Insert(text.c_str())) return false;
    // Writer positions are those of the old text (see EditIntf.h): this removes
    // all of its oldLength characters.
    if (!writer->DeleteTo(static_cast<int32_t>(oldLength - 1))) return false;
    writer.Reset();  // the host applies the writer's changes when it is released
    return true;
  } catch (...) {
    return false;
  }
}

void WriteModuleText(const std::string& fileName, TByteStream* stream) {
  if (!stream || !ToolServices) return;
  try {
    TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(fileName));
    if (module) WriteModuleText(module.Get(), *stream);
  } catch (...) {
  }
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
    ReadModuleText(units[i], &scratch, clFirstChunk);
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
  TButtonsDisabled disabled(site, cbReComment, cbUnComment);
  TByteStream source, stripped, module;

  std::string moduleFile;
  if (FindCommentingModules(unitFile, units, moduleFile) >= 1) {
    site.ShowMessage(MsgAlreadyUncommented(unitFile, moduleFile));
    return false;
  }
  if (ReadModuleText(unitFile, &source, clWhole) == 0) {
    site.ShowMessage(MsgCannotRead(unitFile));
    return false;
  }
  if (const int64_t zero = ZeroBytePosition(source); zero >= 0) {
    site.ShowMessage(MsgZeroByte(unitFile, zero));
    return false;
  }

  std::string newIdent, newFile;
  ToolServices->GetNewModuleName(newIdent, newFile);
  {
    source::TSourceClass processor;
    source.Seek(0);
    processor.FileName = unitFile;
    if (!processor.UnComment(source, stripped, module, newIdent)) {
      site.ShowMessage(MsgNotUncommentable(unitFile));
      return false;
    }
  }

  // The commenting module is created and filled before the unit is touched, so
  // that a host that gives no module, or one that does not take the text,
  // leaves the unit with all its comments.
  TInterfacePtr<TIModuleInterface> newModule(
      ToolServices->CreateModuleEx("", "", "", "", nullptr, nullptr, NewModuleFlags));
  if (!newModule) {
    site.ShowMessage(MsgCannotCreateModule(unitFile));
    return false;
  }
  std::string createdFile = newFile;
  {
    TInterfacePtr<TIEditorInterface> editor(newModule->GetEditorInterface());
    if (editor) {
      editor->SetSyntaxHighlighter(expert::shNone);
      createdFile = editor->FileName();
    }
  }
  if (!SameText(createdFile, newFile) && !createdFile.empty()) {
    // The host named the new unit otherwise than it proposed: name the module
    // after the unit it really is.
    source::TSourceClass processor;
    stripped.Clear();
    module.Clear();
    source.Seek(0);
    processor.FileName = unitFile;
    if (!processor.UnComment(source, stripped, module, UnitIdentOf(createdFile))) {
      site.ShowMessage(MsgNotUncommentable(unitFile));
      return false;
    }
  }
  module.Seek(0);
  if (!WriteModuleText(newModule.Get(), module) || !BufferHolds(*newModule, module.View())) {
    site.ShowMessage(MsgCannotFillModule(unitFile, createdFile));
    return false;
  }
  newModule.Reset();

  stripped.Seek(0);
  WriteModuleText(unitFile, &stripped);
  if (!ModuleBufferHolds(unitFile, stripped.View())) {
    site.ShowMessage(MsgUnitNotStripped(unitFile, createdFile));
    return false;
  }
  return true;
}

bool ReCommentUnit(TCommandSite& site, const TUnitFileList& units, const std::string& unitFileArg) {
  const std::string unitFile = unitFileArg;
  TButtonsDisabled disabled(site, cbUnComment, cbReComment);
  TByteStream restored, stripped, module;

  if (ReadModuleText(unitFile, &stripped, clWhole) == 0) {
    site.ShowMessage(MsgCannotRead(unitFile));
    return false;
  }
  if (const int64_t zero = ZeroBytePosition(stripped); zero >= 0) {
    site.ShowMessage(MsgZeroByte(unitFile, zero));
    return false;
  }
  std::string moduleFile;
  const int32_t count = FindCommentingModules(unitFile, units, moduleFile);
  if (count > 1) {
    site.ShowMessage(MsgSeveralModules(unitFile, count));
    return false;
  }
  if (count == 0) {
    site.ShowMessage(MsgNoModule(unitFile));
    return false;
  }
  // An unreadable module reaches ReComment empty, which stops it.
  ReadModuleText(moduleFile, &module, clWhole);

  source::TSourceClass processor;
  stripped.Seek(0);
  module.Seek(0);
  if (!processor.ReComment(stripped, module, restored)) {
    site.ShowMessage(MsgReCommentStopped(unitFile, moduleFile, processor.LastStop().Describe()));
    return false;
  }
  if (const int64_t zero = ZeroBytePosition(restored); zero >= 0) {
    // The unit itself has none, so it came with a comment of the module.
    site.ShowMessage(MsgZeroByte(moduleFile, zero));
    return false;
  }

  restored.Seek(0);
  WriteModuleText(unitFile, &restored);
  // The module's file goes only once the unit's buffer holds every comment.
  if (!ModuleBufferHolds(unitFile, restored.View())) {
    site.ShowMessage(MsgUnitNotRestored(unitFile, moduleFile));
    return false;
  }
  TInterfacePtr<TIModuleInterface> oldModule(ToolServices->GetModuleInterface(moduleFile));
  site.DeleteModuleFile(moduleFile);
  if (oldModule) oldModule->Close();
  return true;
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
