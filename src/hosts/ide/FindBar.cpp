#include "hosts/ide/FindBar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <utility>

#include "hosts/ide/IdeEditor.h"

namespace scrivlock::hosts::ide {

TFindBar::TFindBar(std::function<TIdeEditor*()> editor, QWidget* parent)
    : QWidget(parent), FEditor(std::move(editor)) {
  setObjectName(QStringLiteral("FindBar"));
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(4, 2, 4, 2);

  auto* findLabel = new QLabel(tr("F&ind:"), this);
  FFind = new QLineEdit(this);
  FFind->setObjectName(QStringLiteral("FindText"));
  findLabel->setBuddy(FFind);
  auto* next = new QPushButton(tr("&Next"), this);
  auto* previous = new QPushButton(tr("&Previous"), this);
  FMatchCase = new QCheckBox(tr("Match &case"), this);
  FWholeWords = new QCheckBox(tr("&Whole words"), this);
  auto* close = new QToolButton(this);
  close->setText(QStringLiteral("\u00d7"));
  close->setToolTip(tr("Close (Esc)"));
  close->setAutoRaise(true);
  grid->addWidget(findLabel, 0, 0);
  grid->addWidget(FFind, 0, 1);
  grid->addWidget(next, 0, 2);
  grid->addWidget(previous, 0, 3);
  grid->addWidget(FMatchCase, 0, 4);
  grid->addWidget(FWholeWords, 0, 5);
  grid->addWidget(close, 0, 6);

  FReplaceRow = new QWidget(this);
  auto* row = new QHBoxLayout(FReplaceRow);
  row->setContentsMargins(0, 0, 0, 0);
  auto* replaceLabel = new QLabel(tr("Rep&lace:"), this);
  FReplace = new QLineEdit(this);
  FReplace->setObjectName(QStringLiteral("ReplaceText"));
  replaceLabel->setBuddy(FReplace);
  auto* replace = new QPushButton(tr("&Replace"), FReplaceRow);
  auto* replaceAll = new QPushButton(tr("Replace &All"), FReplaceRow);
  row->addWidget(replace);
  row->addWidget(replaceAll);
  row->addStretch();
  grid->addWidget(replaceLabel, 1, 0);
  grid->addWidget(FReplace, 1, 1);
  grid->addWidget(FReplaceRow, 1, 2, 1, 5);
  grid->setColumnStretch(1, 1);
  FReplaceLabel = replaceLabel;

  connect(next, &QPushButton::clicked, this, [this] { FindNext(true); });
  connect(previous, &QPushButton::clicked, this, [this] { FindNext(false); });
  connect(replace, &QPushButton::clicked, this, [this] { ReplaceNext(); });
  connect(replaceAll, &QPushButton::clicked, this, [this] { ReplaceAll(); });
  connect(close, &QToolButton::clicked, this, [this] {
    hide();
    if (TIdeEditor* editor = FEditor()) editor->setFocus();
  });
  connect(FFind, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
  connect(FReplace, &QLineEdit::returnPressed, this, [this] { ReplaceNext(); });
  hide();
}

void TFindBar::SetReplacing(bool replace) {
  for (QWidget* w : {FReplaceLabel, static_cast<QWidget*>(FReplace), FReplaceRow})
    w->setVisible(replace);
}

void TFindBar::Start(bool replace) {
  SetReplacing(replace);
  if (TIdeEditor* editor = FEditor(); editor && editor->hasSelectedText()) {
    const QString selected = editor->selectedText();
    if (!selected.contains(u'\n') && !selected.contains(u'\r')) FFind->setText(selected);
  }
  show();
  FFind->setFocus();
  FFind->selectAll();
}

bool TFindBar::FindNext(bool forward) {
  TIdeEditor* editor = FEditor();
  if (!editor || FFind->text().isEmpty()) return false;
  const bool found =
      editor->Find(FFind->text(), FMatchCase->isChecked(), FWholeWords->isChecked(), forward);
  emit Status(found ? QString() : tr("\"%1\" is not there.").arg(FFind->text()));
  return found;
}

bool TFindBar::ReplaceNext() {
  TIdeEditor* editor = FEditor();
  if (!editor || FFind->text().isEmpty()) return false;
  return editor->ReplaceAndFind(FFind->text(), FReplace->text(), FMatchCase->isChecked(),
                                FWholeWords->isChecked());
}

int TFindBar::ReplaceAll() {
  TIdeEditor* editor = FEditor();
  if (!editor) return 0;
  const int count = editor->ReplaceAll(FFind->text(), FReplace->text(), FMatchCase->isChecked(),
                                       FWholeWords->isChecked());
  emit Status(tr("Replaced %n time(s).", nullptr, count));
  return count;
}

void TFindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    if (TIdeEditor* editor = FEditor()) editor->setFocus();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace scrivlock::hosts::ide
