// The source processor: takes the comments out of an Object Pascal unit's text
// and puts them back.
//
// UnComment replaces each comment by a numbered marker "{#N}" and writes the
// comment texts, each after an index record, into a commenting module:
//
//   Unit Unit2;                          <- module unit name
//   interface
//   {$ifopt R+}
//   {$ifopt R-}                          <- never both: the compiler skips the body
//   Commenting File: [Unit1.pas]         <- the unit it belongs to
//   {NOTUNCOMMENTABLE}
//   (*00000001,Keys  ,00000006*)         <- one record and text per comment
//   ' main '
//   (*00000002,Fin   ,00000000*)         <- the end record
//   ''
//   {$endif}
//   {$endif}
//   implementation
//   end.
//
// Every line ends in CR LF but "end.". ReComment walks the (possibly edited)
// unit and replaces each marker by the entry with the same number.
//
// A processor is made fresh for each command: CommentCount is never reset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ByteStream.h"
#include "source/CommentKind.h"

namespace scrivlock::source {

// Where and why the last ReComment stopped early.
struct TReCommentStop {
  enum TReason : uint8_t {
    rsNone,            // it did not stop early
    rsNoEntries,       // the module holds no entry at all
    rsMismatch,        // the marker's number differs from the entry read for it ("Dif: %d, %d")
    rsNoEntryLeft,     // a marker found no entry: the module ends, or its end record is missing
    rsAfterEnd,        // a marker stands after the end marker
    rsWrongEndNumber,  // a marker read the end record but bears another number
    rsUnknownKind,     // the entry's record names no known kind (a damaged module)
    rsUnplacedEntry,   // the unit ended while entries other than the end record were left
    rsFailure,         // reading or writing a stream failed
    rsDamagedEntry,    // the entry read for the marker does not read as its record says: a
                       // head or text out of place, or a record that cannot be read
  };
  TReason Reason = rsNone;
  int32_t Marker = 0;        // the marker's number (rsMismatch, rsNoEntryLeft, rsAfterEnd, ...)
  int32_t Entry = 0;         // the number of the entry read for it
  int64_t Offset = 0;        // the marker's byte offset in the unit's text
  int64_t ModuleOffset = 0;  // where the entry read for it begins in the module (rsDamagedEntry)

  // A sentence for the user, e.g. "marker {#4} at byte 120 does not match entry 5
  // of the commenting module".
  std::string Describe() const;
};

// Why the last UnComment refused the unit.
enum TUnCommentRefusal : uint8_t {
  urNone,              // it did not refuse
  urExtension,         // FileName is not a unit's name (see IsUnitFileName)
  urFileName,          // FileName's name cannot stand in a module header: its unit could never
                       // be found again (a blank, a comma, "]", a quote or a control byte)
  urNotUncommentable,  // "{NOTUNCOMMENTABLE}" stands in the first 1023 bytes
  urTooLarge,          // the stripped text or the module would pass TByteStream::kMaxSize
  urFailure,           // a stream failed otherwise
};

// How UnComment reads comments. A module is the same whichever was used, and
// ReComment needs neither: it works from the stripped text and module as they
// are.
enum TDialect : uint8_t {
  dlDelphi,  // comments do not nest: the first "}" or "*)" ends one (Delphi, Turbo
             // Pascal, and Free Pascal's delphi, tp, macpas and iso modes)
  dlFpc,     // "{" nests in "{" and "(*" in "(*", as in Free Pascal's fpc and objfpc
             // modes; the other kinds inside are text (Dialect.h)
};

struct TScanOptions {
  TDialect Dialect = dlDelphi;
  // Every "//" comment leaves its line break in the unit, so that line N of
  // the stripped text is line N of the unit. Off, a line comment takes its
  // line break into the module, but inside an assembler block (asm ... end),
  // where a line break ends an instruction.
  bool KeepLines = false;
};

// Whether a unit file named `name` (no folder) can be recorded in a module's
// header so that IsModuleOf finds it again.
bool CanRecordFileName(std::string_view name);

// Whether `text` holds a comment marker ("{#N}") anywhere, string literals
// included. A commenting module whose unit holds none is left over from a
// command that did not finish: the unit still has all its comments.
bool HoldsMarker(std::string_view text);

class TSourceClass {
 public:
  // How far into a text IsModuleOf and IsNotUncommentable look.
  static constexpr int64_t kProbeSize = 1023;

  std::string FileName;         // the unit's full file name; set before UnComment
  std::string ModuleUnitName;   // unit name of the last module written
  std::string LastUncommented;  // FileName of the last successful UnComment
  int32_t CommentCount = 0;     // advanced once per entry written; never reset
  TScanOptions Options;         // how UnComment reads comments
  // UnComment and ReComment give back the memory of the texts they read (the
  // source; the stripped text and the module) as they pass them
  // (TByteStream::GiveBack), so that large texts and their results are not
  // held at once; those streams then hold zeros there, whatever the outcome.
  // For a caller that reads its texts afresh whenever it needs them again.
  bool GiveBackInputs = false;

  // Reads the unit's text from the position of `source` to its end; empties
  // `stripped` and writes the text without comments, each comment replaced by
  // its marker and one end marker appended; appends the whole commenting module,
  // named `moduleUnitName`, to `module`.
  // Returns false, writing nothing usable, when FileName is not a unit's
  // name (IsUnitFileName), when "{NOTUNCOMMENTABLE}" stands in the first 1023 bytes,
  // or when a stream fails; LastRefusal() then says which. Never throws.
  // Kept as they stand: string literals and compiler directives ("{$", "(*$").
  // A comment left open at the end of the text loses nothing: a line comment
  // becomes an ordinary entry, an unclosed "{" or "(*" stays in the text.
  // Comments are read as Options says.
  bool UnComment(TByteStream& source, TByteStream& stripped, TByteStream& module,
                 const std::string& moduleUnitName);

  // Whether "{NOTUNCOMMENTABLE}" stands in the (up to) 1023 bytes from the
  // position of `source`, before any zero byte. The position is unchanged.
  bool IsNotUncommentable(TByteStream& source) const;

  // Appends header lines 1 to 6 of a module to `module`.
  void WriteModuleHeader(TByteStream& module, std::string_view moduleUnitName,
                         std::string_view unitFileName) const;
  // Advances CommentCount, appends its marker to `stripped` and one entry to
  // `module`, taking the entry's text from bytes [start, stop) of `source`. The
  // position of `source` is unchanged.
  // REQUIRES: 0 <= start <= stop <= source.Size().
  void WriteComment(TByteStream& source, TByteStream& stripped, TByteStream& module,
                    TCommentKind kind, int32_t start, int32_t stop);
  // Appends the footer, which ends in "end." without a line break.
  void WriteModuleFooter(TByteStream& module) const;

  // Whether the text from the position of `module` (its first 1023 bytes, up to
  // any zero byte) is the commenting module of the unit named `unitFileName`
  // (name and extension, no folder; case matters). The position is unchanged.
  bool IsModuleOf(TByteStream& module, std::string_view unitFileName) const;

  // Empties `restored` and writes to it the text of `stripped` with every marker
  // replaced by the module's entry of the same number, wrapped in the entry
  // kind's delimiters. Both inputs are read from position 0.
  // True when the whole unit was worked through and every entry placed; false
  // when it stopped early (see LastStop()), with `restored` holding the text
  // before the marker where it stopped. Never throws.
  // Markers are not looked for inside string literals. Each entry placed
  // reads as its record says: its text at the stored length, or, when the
  // text was edited in the module, to its closing quote; line breaks in the
  // module may be CR LF or LF (git, dos2unix and editors convert them), and
  // texts come back as the module holds them. An entry that does not read so
  // stops the walk (rsDamagedEntry).
  bool ReComment(TByteStream& stripped, TByteStream& module, TByteStream& restored);

  const TReCommentStop& LastStop() const { return FLastStop; }
  TUnCommentRefusal LastRefusal() const { return FLastRefusal; }

 private:
  TReCommentStop FLastStop;
  TUnCommentRefusal FLastRefusal = urNone;
};

}  // namespace scrivlock::source
