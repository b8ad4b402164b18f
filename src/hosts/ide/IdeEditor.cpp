#include "hosts/ide/IdeEditor.h"

#include <Qsci/qscilexerpascal.h>

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "hosts/common/ProjectUses.h"

namespace scrivlock::hosts::ide {

namespace {

// The length of the valid UTF-8 sequence at `p` (before `end`), 0 when there is
// none: overlong forms, surrogates and code points past U+10FFFF are invalid.
size_t Utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  size_t n;
  uint32_t min, code;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, min = 0x80, code = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, min = 0x800, code = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

TTextEncoding EncodingOf(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    // Eight bytes of ASCII at a time: the common case.
    if (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if ((word & 0x8080808080808080ull) == 0) {
        p += 8;
        continue;
      }
    }
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const size_t n = Utf8SequenceLength(p, end);
    if (n == 0) return teLatin1;
    p += n;
  }
  return teUtf8;
}

TLineBreaks LineBreaksOf(std::string_view bytes) {
  bool crLf = false, lf = false, cr = false;
  for (size_t at = bytes.find_first_of("\r\n"); at != std::string_view::npos;
       at = bytes.find_first_of("\r\n", at + 1)) {
    if (bytes[at] == '\n') {
      lf = true;
    } else if (at + 1 < bytes.size() && bytes[at + 1] == '\n') {
      crLf = true;
      ++at;
    } else {
      cr = true;
    }
    if (crLf + lf + cr > 1) return lbMixed;
  }
  return lf ? lbLf : cr ? lbCr : lbCrLf;
}

const char* EncodingName(TTextEncoding encoding) {
  return encoding == teUtf8 ? "UTF-8" : "Latin-1";
}

const char* LineBreaksName(TLineBreaks breaks) {
  switch (breaks) {
    case lbCrLf:
      return "CR LF";
    case lbLf:
      return "LF";
    case lbCr:
      return "CR";
    case lbMixed:
      return "Mixed";
  }
  return "";
}

TIdeEditor::TIdeEditor(QWidget* parent) : QsciScintilla(parent) {
  const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  setFont(font);
  FLexer = new QsciLexerPascal(this);
  FLexer->setDefaultFont(font);
  FLexer->setFont(font, -1);
  setLexer(FLexer);

  setMarginLineNumbers(0, true);
  setMarginsFont(font);
  setMarginWidth(1, 0);
  SendScintilla(SCI_SETMARGINLEFT, 0ul, 4l);
  setCaretLineVisible(true);
  SendScintilla(SCI_SETCARETLINEVISIBLEALWAYS, 1ul);
  setCaretLineBackgroundColor(QColor(0xee, 0xf3, 0xfb));
  setBraceMatching(SloppyBraceMatch);
  setAutoIndent(true);
  setIndentationsUseTabs(false);
  setTabWidth(2);
  setUtf8(true);
  connect(this, &QsciScintilla::linesChanged, this, &TIdeEditor::UpdateLineNumberWidth);
  UpdateLineNumberWidth();
}

void TIdeEditor::Load(std::string_view bytes) {
  ChooseEncoding(bytes);
  FLineBreaks = LineBreaksOf(bytes);
  // Lines typed in break as the file's first line does.
  const std::string_view eol = LineBreakOf(bytes);
  setEolMode(eol == "\n" ? EolUnix : eol == "\r" ? EolMac : EolWindows);
  SendScintilla(SCI_SETUNDOCOLLECTION, 0ul);
  SendScintilla(SCI_CLEARALL);
  SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.data());
  SendScintilla(SCI_SETUNDOCOLLECTION, 1ul);
  SendScintilla(SCI_EMPTYUNDOBUFFER);
  SendScintilla(SCI_GOTOPOS, 0ul);
  setModified(false);
  UpdateLineNumberWidth();
}

std::string_view TIdeEditor::Bytes() {
  const auto length = static_cast<size_t>(SendScintilla(SCI_GETLENGTH));
  if (length == 0) return {};
  // The document as one piece, in place.
  const auto* data = reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER));
  return {data, length};
}

void TIdeEditor::Replace(std::string_view bytes) {
  const std::string_view old = Bytes();
  const size_t common = std::min(old.size(), bytes.size());
  const size_t prefix = static_cast<size_t>(
      std::mismatch(old.begin(), old.begin() + static_cast<ptrdiff_t>(common), bytes.begin())
          .first -
      old.begin());
  size_t suffix = 0;
  while (suffix < common - prefix &&
         old[old.size() - 1 - suffix] == bytes[bytes.size() - 1 - suffix]) {
    ++suffix;
  }
  if (prefix == old.size() && prefix == bytes.size()) return;
  // Decided before the change, while `old` still points at the text.
  if (FEncoding == teUtf8 && EncodingOf(bytes) != teUtf8) {
    FEncoding = teLatin1;
    setUtf8(false);
  }
  FLineBreaks = LineBreaksOf(bytes);
  SendScintilla(SCI_SETTARGETSTART, static_cast<unsigned long>(prefix));
  SendScintilla(SCI_SETTARGETEND, static_cast<unsigned long>(old.size() - suffix));
  SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size() - prefix - suffix),
                bytes.data() + prefix);
}

void TIdeEditor::ChooseEncoding(std::string_view bytes) {
  FEncoding = EncodingOf(bytes);
  setUtf8(FEncoding == teUtf8);
}

void TIdeEditor::SetHighlighting(bool on) {
  if (on == Highlighting()) return;
  setLexer(on ? FLexer : nullptr);
  if (!on) setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void TIdeEditor::UpdateLineNumberWidth() {
  const int digits = static_cast<int>(QString::number(std::max(1, lines())).size());
  if (digits == FNumberDigits) return;
  FNumberDigits = digits;
  setMarginWidth(0, QString(digits + 1, u'9'));
}

bool TIdeEditor::Find(const QString& text, bool matchCase, bool wholeWords, bool forward) {
  if (text.isEmpty()) return false;
  int line = -1, index = -1;
  if (!forward && hasSelectedText()) {
    // Backwards from the start of what was found last.
    int lineTo, indexTo;
    getSelection(&line, &index, &lineTo, &indexTo);
  }
  return findFirst(text, false, matchCase, wholeWords, true, forward, line, index);
}

bool TIdeEditor::ReplaceAndFind(const QString& text, const QString& replacement, bool matchCase,
                                bool wholeWords) {
  if (hasSelectedText() &&
      selectedText().compare(text, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) {
    replaceSelectedText(replacement);
  }
  return Find(text, matchCase, wholeWords, true);
}

int TIdeEditor::ReplaceAll(const QString& text, const QString& replacement, bool matchCase,
                           bool wholeWords) {
  if (text.isEmpty()) return 0;
  int count = 0;
  beginUndoAction();
  for (bool found = findFirst(text, false, matchCase, wholeWords, false, true, 0, 0, false); found;
       found = findNext()) {
    replace(replacement);
    ++count;
  }
  endUndoAction();
  return count;
}

void TIdeEditor::GoToLine(int line) {
  const int target = std::clamp(line, 1, std::max(1, lines())) - 1;
  setCursorPosition(target, 0);
  ensureLineVisible(target);
  setFocus();
}

}  // namespace scrivlock::hosts::ide
