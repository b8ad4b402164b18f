#include "ui/Application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QResource>
#include <QScreen>
#include <QString>
#include <cstdio>

#include "base/Error.h"

namespace scrivlock::ui {

// Made by the build from Icons.qrc (EmbedResource.cmake).
extern const unsigned char IconResourceData[];

TApplication* Application = nullptr;

namespace {

int ResourceUsers = 0;

QString FromHost(const std::string& text) {
  // The commands' texts break lines with CR LF; a label shows the CR as a
  // character of its own.
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
      .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QWidget* Owner() {
  return Application ? Application->MainWindow() : nullptr;
}

}  // namespace

void CentreOnScreen(QWidget& widget) {
  QScreen* screen = widget.parentWidget() ? widget.parentWidget()->screen() : nullptr;
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = widget.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  widget.move(frame.topLeft());
}

namespace {

// A message box settles its size, and the window system its frame, only when
// it is shown; it is centred then.
class TBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    CentreOnScreen(*this);
  }
};

void RunBox(QMessageBox::Icon icon, const char* name, const QString& text) {
  TBox box(icon, QString::fromLatin1(ApplicationTitle), text, QMessageBox::Ok, Owner());
  box.setObjectName(QString::fromLatin1(name));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

void RegisterResources() {
  if (ResourceUsers++ == 0) QResource::registerResource(IconResourceData, QString());
}

void UnregisterResources() {
  if (ResourceUsers > 0 && --ResourceUsers == 0)
    QResource::unregisterResource(IconResourceData, QString());
}

TApplication::TApplication(intptr_t ownerHandle) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
    throw TError("Scrivlock needs the host to run a Qt Widgets application.");
  if (ownerHandle != 0) FMainWindow = QWidget::find(static_cast<WId>(ownerHandle));
  RegisterResources();
  FResourcesRegistered = true;
}

TApplication::~TApplication() {
  for (auto it = FWindows.rbegin(); it != FWindows.rend(); ++it) delete it->data();
  FWindows.clear();
  if (FResourcesRegistered) UnregisterResources();
}

void TApplication::AddWindow(QWidget* window) {
  std::erase_if(FWindows, [](const QPointer<QWidget>& w) { return w.isNull(); });
  FWindows.emplace_back(window);
}

void CreateApplication(intptr_t ownerHandle) {
  if (!Application) Application = new TApplication(ownerHandle);
}

void FreeApplication() noexcept {
  delete Application;
  Application = nullptr;
}

void ShowPlainMessage(const std::string& text) {
  RunBox(QMessageBox::NoIcon, MessageBoxName, FromHost(text));
}

std::string ErrorMessage(std::exception_ptr error, const char* unknown) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    // Not one of ours nor the standard library's: nothing more can be said.
  }
  return unknown;
}

void ShowException(std::exception_ptr error) noexcept {
  std::string message = ErrorMessage(error);
  try {
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
      RunBox(QMessageBox::Critical, ErrorReportName, FromHost(message));
      return;
    }
  } catch (...) {
    // The report itself failed: the error and why it could not be shown go to
    // stderr, the one place left.
    message += " (the error report failed: " + ErrorMessage(std::current_exception()) + ")";
  }
  std::fprintf(stderr, "Scrivlock: %s\n", message.c_str());
}

}  // namespace scrivlock::ui
