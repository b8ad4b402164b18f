// The texts the commands show the user. Line breaks are CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "source/SourceClass.h"

namespace scrivlock::commands {

// M1: no unit chosen.
inline constexpr const char* MsgSelectUnit =
    "Please select the unit to uncomment\r\nUsing the list below";

// M2: "Unit %s is already uncommented.\r\nCorresponding comments contained in
// module: %s"; `moduleFile` is empty when the unit has several modules.
std::string MsgAlreadyUncommented(std::string_view unitFile, std::string_view moduleFile);
// M3: "Cannot read unit: \r\n" + unit file.
std::string MsgCannotRead(std::string_view unitFile);
// M4: "Unit: " + unit file + "\r\n is marked as not uncommentable." Only for a
// unit that carries the mark; the other refusals of UnComment have their own.
std::string MsgNotUncommentable(std::string_view unitFile);
// M5: "Error. Unit %s has %d commenting modules.\r\nOnly one commenting module
// per unit accepted!"
std::string MsgSeveralModules(std::string_view unitFile, int32_t count);
// M6: "Error. Unit %s has no commenting module."
std::string MsgNoModule(std::string_view unitFile);

// Uncomment refused a file that is not a unit (".inc", ".lpr", no extension):
// only ".pas" and ".pp" are taken, in any letter case.
std::string MsgNotPascalUnit(std::string_view unitFile);
// Uncomment refused a unit whose file name a module header cannot record (a
// blank, a comma...): its module could never be found again.
std::string MsgUnrecordableName(std::string_view unitFile);
// Uncomment succeeded, but the compiler cannot skip the body of the new
// commenting module: the text of comment `entry` (0: the unit's file name)
// opens a comment or a conditional directive there, so the project does not
// build until the unit is re-commented.
std::string MsgModuleNotSkippable(std::string_view unitFile, std::string_view moduleFile,
                                  int32_t entry);
// The message for a unit that UnComment refused for `reason`: M4 only for the
// not-uncommentable mark, a message of its own for each other reason.
std::string UnCommentRefusalMessage(source::TUnCommentRefusal reason, std::string_view unitFile);
// Uncomment refused a unit whose stripped text or module would pass the 2 GB
// that a text may hold.
std::string MsgTooLarge(std::string_view unitFile);
// UnComment failed for a reason other than those above; nothing was changed.
std::string MsgUnCommentFailed(std::string_view unitFile);
// The host delivered the unit's text, and it is empty: neither command has
// anything to work on. (A text the host cannot deliver gets M3.)
std::string MsgEmptyUnit(std::string_view unitFile);

// A unit (or its commenting module) whose text holds a zero byte: the editor's
// zero-terminated writer would cut it short there, so it is refused before
// anything is written. `position` is the zero byte's offset.
std::string MsgZeroByte(std::string_view fileName, int64_t position);
// The host gave no new unit for the commenting module; the unit is unchanged.
std::string MsgCannotCreateModule(std::string_view unitFile);
// The new unit was created but its buffer did not take the module's text; the
// unit is unchanged and the new unit `moduleFile` should be discarded.
std::string MsgCannotFillModule(std::string_view unitFile, std::string_view moduleFile);
// Uncomment: the module was made but the unit's buffer did not take the
// stripped text, so the unit keeps its comments and `moduleFile` can go.
std::string MsgUnitNotStripped(std::string_view unitFile, std::string_view moduleFile);
// Re-Comment: the unit's buffer did not take the restored text; the module
// `moduleFile` was kept.
std::string MsgUnitNotRestored(std::string_view unitFile, std::string_view moduleFile);
// Re-Comment found the unit's commenting module but the host could not deliver
// its text; nothing was changed.
std::string MsgCannotReadModule(std::string_view unitFile, std::string_view moduleFile);
// ReComment stopped early; `where` is TReCommentStop::Describe(). Nothing was
// written or deleted.
std::string MsgReCommentStopped(std::string_view unitFile, std::string_view moduleFile,
                                std::string_view where);

// The command-line tool's checks of a unit file before a command reads it.
// A unit file the system cannot deliver: M3, then why ("No such file or
// directory", "it is a FIFO, not a regular file").
std::string MsgCannotRead(std::string_view unitFile, std::string_view reason);
// A unit file with other hard links: replacing it would part it from them.
std::string MsgSeveralLinks(std::string_view unitFile, int64_t links);
// A unit file that nobody may write.
std::string MsgReadOnly(std::string_view unitFile);

// A commenting module left over by a command that did not finish (a kill, a
// crash): the unit holds none of its markers, so it has all its comments and
// the module can go.
std::string MsgStaleModule(std::string_view unitFile, std::string_view moduleFile);

// Notes of the command-line tool for a name among a call's units that it
// passes over: a commenting module (of `ownerName`), or a file that an earlier
// unit of the same call deleted.
std::string MsgPassedOverModule(std::string_view fileName, std::string_view ownerName);
std::string MsgPassedOverDeleted(std::string_view fileName);

// A message about a place in a file, as Free Pascal gives its messages, so
// that editors (Lazarus, Vim's quickfix, Emacs) can jump to it:
// "Unit1.pas(12,5) Error: " + `text` ("Warning: " for a text that begins
// with "Warning"). `line` and `column` count from 1.
std::string MsgAt(std::string_view fileName, int64_t line, int64_t column, std::string_view text);

}  // namespace scrivlock::commands
