// TFindBar: find and replace in the current editor, a bar under the tabs.
// Enter in the find field finds the next match, in the replace field replaces
// it; Escape closes the bar and gives the editor back its focus.
#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace scrivlock::hosts::ide {

class TIdeEditor;

class TFindBar : public QWidget {
  Q_OBJECT

 public:
  // `editor` gives the current editor (or null) when the bar acts.
  TFindBar(std::function<TIdeEditor*()> editor, QWidget* parent);

  // Shows the bar with the find field (and, for `replace`, the replace field),
  // filled with the editor's selection when it is on one line.
  void Start(bool replace);
  // Finds the next (or former) match; false, and says so, when there is none.
  bool FindNext(bool forward = true);
  bool ReplaceNext();
  int ReplaceAll();

  QLineEdit* FindField() const { return FFind; }
  QLineEdit* ReplaceField() const { return FReplace; }

 signals:
  // A short line for the status bar.
  void Status(const QString& message);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetReplacing(bool replace);

  std::function<TIdeEditor*()> FEditor;
  QLineEdit* FFind = nullptr;
  QLineEdit* FReplace = nullptr;
  QCheckBox* FMatchCase = nullptr;
  QCheckBox* FWholeWords = nullptr;
  QWidget* FReplaceLabel = nullptr;
  QWidget* FReplaceRow = nullptr;
};

}  // namespace scrivlock::hosts::ide
