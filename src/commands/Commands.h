// The Uncomment and Re-Comment commands and the buffer operations they are made
// of. They reach the host only through the global hostintf::ToolServices and the
// user only through a TCommandSite; they know no widget toolkit. Everything runs
// on the host's user-interface thread, one call at a time; nothing is kept
// between calls.
//
// Errors travel one way. Reading and writing a buffer swallow the host's
// failures, as the buffer operations below say, and the commands then read a
// buffer back to know what it holds. A command that cannot go on refuses: the
// user gets the message for the reason (Messages.h) and the command returns
// false. Anything else that fails (the site, the host outside reading and
// writing) goes on to the caller, after the buttons are enabled again.
//
// The Comments window's CommBtnsClick delegates to CommBtnsClick below; the
// command-line tool calls UnCommentUnit / ReCommentUnit directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "commands/CommandSite.h"
#include "commands/UnitFileList.h"
#include "source/SourceClass.h"

namespace scrivlock::commands {

// Editor buffers are read in chunks of this many characters (not 8192).
inline constexpr int32_t ReadChunkSize = 8092;
// The commands read a whole unit or module in pieces of this many (about 1 MiB,
// which stays in the cache while it is checked).
inline constexpr int32_t ReadPieceSize = 128 * ReadChunkSize;

// ChunkLimit values of ReadModuleText.
inline constexpr int32_t clWhole = -1;      // read the whole text into the stream
inline constexpr int32_t clFirstChunk = 1;  // read at most the first chunk
inline constexpr int32_t clCountOnly = -2;  // read the whole text, only count it

// Reads the editor buffer of the module `fileName` into `stream` from position 0
// in chunks of ReadChunkSize, as `chunkLimit` says, and returns the number of
// characters the host delivered (a text of exactly k chunks takes one more read
// that delivers 0). Returns 0 on any failure: no stream, no ToolServices, no
// module, editor or reader, or an exception on the way (swallowed, no message).
// Every interface obtained is released.
int64_t ReadModuleText(const std::string& fileName, TByteStream* stream, int32_t chunkLimit);

// Reads into `stream`, from position 0, the head of the module `fileName`'s
// buffer that tells whether it is a commenting module: at most
// TSourceClass::kProbeSize characters, in one read. Returns the number
// delivered; 0 on any failure, as ReadModuleText.
int64_t ReadModuleHead(const std::string& fileName, TByteStream* stream);

// Replaces the whole text of the module `fileName`'s buffer by the bytes of
// `stream` from its position to its end (callers rewind it first). The host's
// writer takes zero-terminated text, so a zero byte ends what is written. Any
// failure is swallowed without a message; a file name for which the host has no
// module leaves every buffer unchanged. Does nothing for a null stream.
void WriteModuleText(const std::string& fileName, TByteStream* stream);

// Counts the entries of `units` whose head (ReadModuleHead) is the commenting module of
// `unitFile` (by its name-and-extension part), `unitFile` itself included; each
// entry is read once. `moduleFile` receives that entry's full file name when
// the count is exactly 1 and is empty otherwise. An entry whose text the host
// cannot supply counts as no module.
int32_t FindCommentingModules(const std::string& unitFile, const TUnitFileList& units,
                              std::string& moduleFile);

// Uncomment on `unitFile`: refuses with a message when the unit already has a
// commenting module among `units`, cannot be read, is empty, holds a zero byte,
// or is refused by the source processor (for its reason); otherwise has the host create the
// commenting module, fills it, and only then writes the stripped text over the
// unit (so no comment is lost if the creation fails). Disables ReCommBtn then
// UnCommBtn, and enables them in the same order however it ends. True when the
// unit was uncommented; false after a message. Failures other than those
// (exceptions from the site or the host) propagate, after the buttons are
// enabled again.
bool UnCommentUnit(TCommandSite& site, const TUnitFileList& units, const std::string& unitFile);

// Re-Comment on `unitFile`: refuses with a message when the unit cannot be read,
// is empty or holds a zero byte, when it has no or several commenting modules
// among `units`, or when its module cannot be read; when the restoration stops early, tells the
// user where and changes nothing. Otherwise writes the restored text over the unit, then deletes
// the module's file (site.DeleteModuleFile) and closes its editor; the module stays in the project.
// Disables UnCommBtn then ReCommBtn and enables them in the same order however it ends. True when
// the unit was restored.
bool ReCommentUnit(TCommandSite& site, const TUnitFileList& units, const std::string& unitFile);

// The shared click handler of both buttons: `comboText` is the drop-down's
// text and `selectedIndex` its selected index into `units`. An empty text shows
// M1; an index of -1 (or out of range) does nothing. Otherwise runs the
// command of `sender` on units[selectedIndex]; returns its result.
bool CommBtnsClick(TCommandSite& site, TCommandButton sender, const TUnitFileList& units,
                   std::string_view comboText, int selectedIndex);

}  // namespace scrivlock::commands
