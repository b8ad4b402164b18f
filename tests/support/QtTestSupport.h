// Test support for the Comments window, in-process or loaded from the plug-in:
// a recorder that answers every message box the plug-in shows, and lookups of
// the plug-in's widgets by their object names (which is all a test sees of a
// plug-in loaded as a shared library: Qt itself is shared with the host).
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

namespace scrivlock::testing {

struct TShownBox {
  std::string Name;  // object name: "ScrivlockMessage" or "ScrivlockErrorReport"
  std::string Text;  // as shown (line breaks "\n")
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons Buttons;
  QRect Frame;  // where it stood on the screen
  QWidget* Parent = nullptr;
};

// While it exists, every message box that opens is recorded and closed with
// its OK button, from inside the box's own event loop.
class TBoxRecorder {
 public:
  TBoxRecorder() {
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
    FTimer.start(2);
  }
  const std::vector<TShownBox>& Boxes() const { return FBoxes; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TShownBox& box : FBoxes) texts.push_back(box.Text);
    return texts;
  }
  void Clear() { FBoxes.clear(); }

 private:
  void Answer() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (!box || !box->isVisible()) continue;
      FBoxes.push_back({box->objectName().toStdString(), box->text().toStdString(), box->icon(),
                        box->standardButtons(), box->frameGeometry(), box->parentWidget()});
      if (QAbstractButton* ok = box->button(QMessageBox::Ok))
        ok->click();
      else
        box->reject();
    }
  }

  QTimer FTimer;
  std::vector<TShownBox> FBoxes;
};

// The CR LF line breaks of a text as a box shows them.
inline std::string AsShown(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    shown += text[i];
  }
  return shown;
}

// The plug-in's window of that object name, or nullptr.
inline QWidget* FindWindow(const char* name) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QLatin1String(name)) return widget;
  return nullptr;
}

template <class T>
T* FindChild(QWidget* window, const char* name) {
  return window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

}  // namespace scrivlock::testing
