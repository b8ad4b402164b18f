// TIdeEditor: the IDE's editor for one file, on QScintilla, with Pascal
// highlighting, line numbers, the current line marked and braces matched.
//
// The editor holds the file's bytes as they are: whatever the encoding, and
// with the file's own line breaks, so that saving writes back every byte that
// was not edited. How the bytes are shown is chosen when a text is loaded:
// valid UTF-8 as UTF-8, anything else as Latin-1 (one character per byte,
// so nothing is lost or replaced). A line typed in ends as the file's first
// line does.
#pragma once

#include <Qsci/qsciscintilla.h>

#include <QString>
#include <string_view>

class QsciLexer;

namespace scrivlock::hosts::ide {

enum TTextEncoding { teUtf8, teLatin1 };
enum TLineBreaks { lbCrLf, lbLf, lbCr, lbMixed };

// UTF-8 when `bytes` are valid UTF-8 (plain ASCII included), else Latin-1.
TTextEncoding EncodingOf(std::string_view bytes);
// The one kind of line break `bytes` use; lbMixed for several; lbCrLf for none.
TLineBreaks LineBreaksOf(std::string_view bytes);
// "UTF-8", "Latin-1"; "CR LF", "LF", "CR", "Mixed".
const char* EncodingName(TTextEncoding encoding);
const char* LineBreaksName(TLineBreaks breaks);

class TIdeEditor : public QsciScintilla {
  Q_OBJECT

 public:
  explicit TIdeEditor(QWidget* parent = nullptr);

  // Makes `bytes` the text, unmodified and with nothing to undo, and chooses
  // how to show them.
  void Load(std::string_view bytes);
  // The text's bytes, as they are saved; valid until the text changes.
  std::string_view Bytes();
  // Makes `bytes` the text as one step the user can undo, changing only the
  // part that differs (so the view stays where it was), and marks it modified.
  void Replace(std::string_view bytes);

  TTextEncoding Encoding() const { return FEncoding; }
  TLineBreaks LineBreaks() const { return FLineBreaks; }
  // Pascal highlighting on or off.
  void SetHighlighting(bool on);
  bool Highlighting() const { return lexer() != nullptr; }

  // Finds `text` from the cursor on (or back), wrapping around; selects it.
  bool Find(const QString& text, bool matchCase, bool wholeWords, bool forward);
  // Replaces the selection when it is `text` (as Find would match it) by
  // `replacement`, then finds the next one.
  bool ReplaceAndFind(const QString& text, const QString& replacement, bool matchCase,
                      bool wholeWords);
  // Replaces every `text` by `replacement` as one undo step; returns how many.
  int ReplaceAll(const QString& text, const QString& replacement, bool matchCase, bool wholeWords);
  // Puts the cursor at the start of line `line` (from 1) and shows it.
  void GoToLine(int line);

 private:
  void ChooseEncoding(std::string_view bytes);
  void UpdateLineNumberWidth();

  QsciLexer* FLexer = nullptr;
  TTextEncoding FEncoding = teUtf8;
  TLineBreaks FLineBreaks = lbCrLf;
  int FNumberDigits = 0;
};

}  // namespace scrivlock::hosts::ide
