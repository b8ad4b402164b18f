#include "commands/Messages.h"

namespace scrivlock::commands {

namespace {

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

}  // namespace

std::string MsgAlreadyUncommented(std::string_view unitFile, std::string_view moduleFile) {
  return Concat(
      {"Unit ", unitFile,
       " is already uncommented.\r\nCorresponding comments contained in module: ", moduleFile});
}

std::string MsgCannotRead(std::string_view unitFile) {
  return Concat({"Cannot read unit: \r\n", unitFile});
}

std::string MsgNotUncommentable(std::string_view unitFile) {
  return Concat({"Unit: ", unitFile, "\r\n is marked as not uncommentable."});
}

std::string MsgNotPascalUnit(std::string_view unitFile) {
  return Concat({"Unit: ", unitFile,
                 "\r\n cannot be uncommented: it is not a unit. Only files whose names end "
                 "in \".pas\" or \".pp\" are units."});
}

std::string MsgUnrecordableName(std::string_view unitFile) {
  return Concat({"Unit: ", unitFile,
                 "\r\n cannot be uncommented: its file name holds a character (such as a blank "
                 "or a comma) that a commenting module cannot record, so its comments could "
                 "never be found again.\r\nRename the unit first."});
}

std::string UnCommentRefusalMessage(source::TUnCommentRefusal reason, std::string_view unitFile) {
  switch (reason) {
    case source::urExtension:
      return MsgNotPascalUnit(unitFile);
    case source::urFileName:
      return MsgUnrecordableName(unitFile);
    case source::urNotUncommentable:
      return MsgNotUncommentable(unitFile);
    case source::urTooLarge:
      return MsgTooLarge(unitFile);
    case source::urNone:
    case source::urFailure:
      break;
  }
  return MsgUnCommentFailed(unitFile);
}

std::string MsgTooLarge(std::string_view unitFile) {
  return Concat({"Error. Unit ", unitFile,
                 " is too large to uncomment:\r\nits text without comments or its commenting "
                 "module would pass 2 GB. Nothing was changed."});
}

std::string MsgUnCommentFailed(std::string_view unitFile) {
  return Concat({"Error. Unit ", unitFile,
                 " could not be uncommented: its texts could not be made.\r\nNothing was "
                 "changed."});
}

std::string MsgEmptyUnit(std::string_view unitFile) {
  return Concat({"Unit ", unitFile, " is empty.\r\nThere is nothing to uncomment or re-comment."});
}

std::string MsgSeveralModules(std::string_view unitFile, int32_t count) {
  return Concat({"Error. Unit ", unitFile, " has ", std::to_string(count),
                 " commenting modules.\r\nOnly one commenting module per unit accepted!"});
}

std::string MsgNoModule(std::string_view unitFile) {
  return Concat({"Error. Unit ", unitFile, " has no commenting module."});
}

std::string MsgZeroByte(std::string_view fileName, int64_t position) {
  return Concat({"Error. ", fileName, " holds a zero byte at byte ", std::to_string(position),
                 ".\r\nThe editor would cut its text short there, so nothing was changed."});
}

std::string MsgCannotCreateModule(std::string_view unitFile) {
  return Concat(
      {"Error. Cannot uncomment unit ", unitFile,
       ":\r\nthe IDE did not create the new unit for its comments. Nothing was changed."});
}

std::string MsgCannotFillModule(std::string_view unitFile, std::string_view moduleFile) {
  return Concat({"Error. Cannot uncomment unit ", unitFile,
                 ":\r\nthe comments could not be written into the new unit ", moduleFile,
                 ". The unit was not changed; the new unit can be discarded."});
}

std::string MsgModuleNotSkippable(std::string_view unitFile, std::string_view moduleFile,
                                  int32_t entry) {
  const std::string cause = entry > 0 ? "the text of comment {#" + std::to_string(entry) + "}"
                                      : std::string("the unit's file name");
  return Concat({"Warning. Unit ", unitFile,
                 " is uncommented, but the project will not build until it is re-commented:\r\n",
                 cause,
                 " opens a comment or directive that keeps the compiler from skipping "
                 "commenting module ",
                 moduleFile, "."});
}

std::string MsgUnitNotStripped(std::string_view unitFile, std::string_view moduleFile) {
  return Concat({"Error. The text of unit ", unitFile,
                 " could not be replaced.\r\nThe unit keeps its comments; the new unit ",
                 moduleFile, " can be discarded."});
}

std::string MsgUnitNotRestored(std::string_view unitFile, std::string_view moduleFile) {
  return Concat({"Error. The text of unit ", unitFile,
                 " could not be replaced.\r\nIts comments are still in module ", moduleFile,
                 ", which was kept."});
}

std::string MsgCannotReadModule(std::string_view unitFile, std::string_view moduleFile) {
  return Concat({"Error. The commenting module ", moduleFile, " of unit ", unitFile,
                 " cannot be read.\r\nNothing was changed."});
}

std::string MsgReCommentStopped(std::string_view unitFile, std::string_view moduleFile,
                                std::string_view where) {
  return Concat({"Error. Unit ", unitFile, " cannot be re-commented from module ", moduleFile,
                 ":\r\n", where, ".\r\nNothing was changed."});
}

std::string MsgCannotRead(std::string_view unitFile, std::string_view reason) {
  return Concat({MsgCannotRead(unitFile), "\r\n(", reason, ")"});
}

std::string MsgSeveralLinks(std::string_view unitFile, int64_t links) {
  return Concat({"Error. Unit ", unitFile, " has ", std::to_string(links),
                 " hard links.\r\nIts new text would part it from the other names of the file, "
                 "so nothing was changed. Make it a file of its own (copy it) first."});
}

std::string MsgReadOnly(std::string_view unitFile) {
  return Concat(
      {"Error. Unit ", unitFile, " is read-only.\r\nNothing was changed. Make it writable first."});
}

std::string MsgStaleModule(std::string_view unitFile, std::string_view moduleFile) {
  return Concat({"Error. Module ", moduleFile, " is a left-over commenting module of unit ",
                 unitFile,
                 ":\r\nthe unit holds none of its markers, so it still has all its "
                 "comments (an Uncomment or Re-Comment was stopped before it finished).\r\n"
                 "Delete ",
                 moduleFile, ", then try again. Nothing was changed."});
}

std::string MsgPassedOverModule(std::string_view fileName, std::string_view ownerName) {
  return Concat({"Note. ", fileName, " is the commenting module of ", ownerName,
                 ", not a unit to re-comment: passed over."});
}

std::string MsgPassedOverDeleted(std::string_view fileName) {
  return Concat(
      {"Note. ", fileName, " was a commenting module, deleted by this call: passed over."});
}

std::string MsgAt(std::string_view fileName, int64_t line, int64_t column, std::string_view text) {
  const std::string_view severity = text.starts_with("Warning") ? ") Warning: " : ") Error: ";
  return Concat({fileName, "(", std::to_string(line), ",", std::to_string(column), severity, text});
}

}  // namespace scrivlock::commands
