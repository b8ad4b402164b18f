#include "ui/Comments.h"

#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QListView>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStringList>
#include <QStyledItemDelegate>
#include <memory>

#include "base/Error.h"
#include "base/FileNames.h"
#include "commands/Commands.h"
#include "ui/Application.h"
#include "ui/BuiltInHint.h"
#include "ui/CipherTool.h"

namespace scrivlock::ui {

TComments* Comments = nullptr;

THintSource BuiltInHint() {
  return {BuiltInHintEncoded, BuiltInHintKey};
}

namespace {

constexpr Qt::WindowFlags kWindowFlags =
    Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
    Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

constexpr int kItemHeight = 13;

// Entries of the drop-down's list are 13 pixels high.
class TUnitItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(kItemHeight);
    return size;
  }
};

QPushButton* MakeButton(QWidget* window, const char* name, const char* caption, const char* image,
                        const char* disabledImage, const QRect& bounds) {
  auto* button = new QPushButton(QString::fromLatin1(caption), window);
  button->setObjectName(QString::fromLatin1(name));
  QIcon icon;
  icon.addPixmap(QPixmap(QString::fromLatin1(image)), QIcon::Normal);
  icon.addPixmap(QPixmap(QString::fromLatin1(disabledImage)), QIcon::Disabled);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setGeometry(bounds);
  return button;
}

}  // namespace

TComments::TComments(QWidget* owner, THintSource hint) : QWidget(owner, kWindowFlags), FHint(hint) {
  // Refers to the window while its creation runs: a report shown by FormCreate
  // runs an event loop, in which the host may call in.
  Comments = this;

  setObjectName(QStringLiteral("Comments"));
  setWindowTitle(QStringLiteral("Comments"));
  setWindowIcon(QIcon(QPixmap(QStringLiteral(":/scrivlock/comments.xpm"))));
  setAttribute(Qt::WA_QuitOnClose, false);

  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(11);
  setFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  colours.setColor(QPalette::WindowText, colours.color(QPalette::Active, QPalette::WindowText));
  setPalette(colours);
  setAutoFillBackground(true);

  ReCommBtn = MakeButton(this, "ReCommBtn", "Re-Comment", ":/scrivlock/recomment.xpm",
                         ":/scrivlock/recomment-disabled.xpm", QRect(4, 26, 97, 25));
  UnCommBtn = MakeButton(this, "UnCommBtn", "Uncomment", ":/scrivlock/uncomment.xpm",
                         ":/scrivlock/uncomment-disabled.xpm", QRect(4, 1, 97, 25));

  CBUnits = new QComboBox(this);
  CBUnits->setObjectName(QStringLiteral("CBUnits"));
  CBUnits->setEditable(false);
  CBUnits->setGeometry(6, 58, 95, 21);
  // The geometry is fixed: no need to measure every entry of a long list.
  CBUnits->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CBUnits->setItemDelegate(new TUnitItemDelegate(CBUnits));
  if (auto* view = qobject_cast<QListView*>(CBUnits->view())) view->setUniformItemSizes(true);

  CipherTool1 = new TCipherTool(this);
  CipherTool1->setObjectName(QStringLiteral("CipherTool1"));

  // The layout above, grown where the platform's font needs more room than
  // the 96-dpi one it was made for.
  const QSize button =
      UnCommBtn->sizeHint().expandedTo(ReCommBtn->sizeHint()).expandedTo(QSize(97, 25));
  const int listHeight = std::max(21, CBUnits->sizeHint().height());
  UnCommBtn->setGeometry(4, 1, button.width(), button.height());
  ReCommBtn->setGeometry(4, 1 + button.height(), button.width(), button.height());
  CBUnits->setGeometry(6, 8 + 2 * button.height(), button.width() - 2, listHeight);
  setFixedSize(button.width() + 7, CBUnits->geometry().bottom() + 7);

  // The keyboard: an accelerator for each button, Escape back to the owner.
  UnCommBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_U));
  ReCommBtn->setShortcut(QKeySequence(Qt::ALT | Qt::Key_R));
  auto* leave = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(leave, &QShortcut::activated, this, [this] {
    HideWindow();
    if (QWidget* owner = parentWidget()) owner->activateWindow();
  });
  // What the owner's status bar says while the pointer is on a control.
  UnCommBtn->setStatusTip(
      QStringLiteral("Uncomment (Alt+U): moves the chosen unit's comments into a new "
                     "commenting module"));
  ReCommBtn->setStatusTip(
      QStringLiteral("Re-Comment (Alt+R): puts the chosen unit's comments back from its "
                     "commenting module"));
  CBUnits->setStatusTip(QStringLiteral("The project's units; Esc goes back to the editor"));

  setTabOrder(ReCommBtn, UnCommBtn);
  setTabOrder(UnCommBtn, CBUnits);

  connect(UnCommBtn, &QPushButton::clicked, this,
          [this] { Guarded([this] { CommBtnsClick(UnCommBtn); }); });
  connect(ReCommBtn, &QPushButton::clicked, this,
          [this] { Guarded([this] { CommBtnsClick(ReCommBtn); }); });

  Guarded([this] { FormCreate(); });
}

TComments::~TComments() {
  FormDestroy();
}

void TComments::FormCreate() {
  // Code 0 ends the deciphered text (and any padding of its last block).
  const std::string decoded = CipherTool1->Cipher().DecodeString(FHint.Encoded, FHint.Key, false);
  setToolTip(QString::fromLatin1(decoded.c_str()));
  // A tool window is seldom the active one; its hint shows all the same.
  setAttribute(Qt::WA_AlwaysShowToolTips);
  FUnitFiles.Clear();
}

void TComments::FormDestroy() {
  FUnitFiles.Clear();
  if (Comments == this) Comments = nullptr;
}

void TComments::SetUnits(const std::vector<std::string>& files) {
  FUnitFiles.Clear();
  AddUnits(files);
}

void TComments::AddUnits(const std::vector<std::string>& files) {
  for (const std::string& file : files) FUnitFiles.Add(file);
  FillUnitCombo();
}

void TComments::RemoveUnit(std::string_view fileName) {
  FUnitFiles.Remove(fileName);
  FillUnitCombo();
}

void TComments::FillUnitCombo() {
  QStringList names;
  names.reserve(FUnitFiles.Count());
  for (const std::string& file : FUnitFiles.Items()) {
    const std::string_view name = ExtractFileName(file);
    names.append(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  const QSignalBlocker blocker(CBUnits);
  CBUnits->clear();
  CBUnits->addItems(names);
  // Adding to an empty drop-down selects its first entry; the user chooses anew.
  CBUnits->setCurrentIndex(-1);
}

void TComments::SelectUnit(const std::string& fileName) {
  if (const int index = FUnitFiles.IndexOf(fileName); index >= 0) CBUnits->setCurrentIndex(index);
}

void TComments::CommBtnsClick(QObject* sender) {
  commands::TCommandButton button;
  if (sender == UnCommBtn)
    button = commands::cbUnComment;
  else if (sender == ReCommBtn)
    button = commands::cbReComment;
  else
    return;
  commands::CommBtnsClick(*this, button, FUnitFiles, CBUnits->currentText().toStdString(),
                          CBUnits->currentIndex());
}

void TComments::ShowWindow() {
  // Placed by its client area before it is shown, and once more by its frame,
  // which the window system knows only then.
  if (!FPlaced) CentreOnScreen(*this);
  show();
  if (!FPlaced) CentreOnScreen(*this);
  FPlaced = true;
  raise();
  activateWindow();
}

void TComments::HideWindow() {
  hide();
}

void TComments::SetButtonEnabled(commands::TCommandButton button, bool enabled) noexcept {
  (button == commands::cbUnComment ? UnCommBtn : ReCommBtn)->setEnabled(enabled);
}

void TComments::ShowMessage(const std::string& text) {
  ShowPlainMessage(text);
}

void EnsureCommentsWindow() {
  if (Comments) return;
  if (!Application) throw TError("The Comments window has no application object to belong to.");
  // The window names itself Comments as soon as its construction starts; a
  // construction that fails must not leave the name behind.
  struct TForgetOnFailure {
    bool Made = false;
    ~TForgetOnFailure() {
      if (!Made) Comments = nullptr;
    }
  } forget;
  auto window = std::make_unique<TComments>(Application->MainWindow());
  Application->AddWindow(window.get());
  static_cast<void>(window.release());
  forget.Made = true;
}

}  // namespace scrivlock::ui
