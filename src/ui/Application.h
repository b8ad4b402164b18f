// TApplication: the plug-in's application object, the least that the Comments
// window needs on top of the host's QApplication: an owner window (the host's
// main window), the windows it owns and destroys, the window's resources, the
// plain message box of the commands and the standard report of unhandled
// errors.
//
// The entry point creates it (CreateApplication) and the expert frees it when
// the host releases the expert (FreeApplication), before the host unloads the
// plug-in: no window, resource or Qt object of the plug-in may outlive its code.
// Everything runs on the host's user-interface thread.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace scrivlock::ui {

// Object names of the two kinds of box, for whoever needs to tell them apart.
inline constexpr const char* MessageBoxName = "ScrivlockMessage";
inline constexpr const char* ErrorReportName = "ScrivlockErrorReport";
// The title of both boxes.
inline constexpr const char* ApplicationTitle = "Scrivlock";

class TApplication {
 public:
  // `ownerHandle` is the host's main window as a native window id
  // (TIToolServices::GetParentHandle); 0, or an id that names no widget of this
  // process, leaves the plug-in's windows without an owner. Registers the
  // window's resources. Throws TError when the process has no QApplication.
  explicit TApplication(intptr_t ownerHandle);
  // Destroys the windows it still owns (newest first), then unregisters the
  // resources.
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The owner of the plug-in's windows and boxes; nullptr when there is none
  // (or the host has destroyed it meanwhile).
  QWidget* MainWindow() const { return FMainWindow; }

  // Takes ownership of a top-level `window`. A window destroyed earlier (for
  // instance by its owner) is simply forgotten.
  void AddWindow(QWidget* window);

 private:
  QPointer<QWidget> FMainWindow;
  std::vector<QPointer<QWidget>> FWindows;
  bool FResourcesRegistered = false;
};

// The one application object; none before the entry point and after
// FreeApplication.
extern TApplication* Application;

// Creates Application when there is none. Throws what TApplication throws.
void CreateApplication(intptr_t ownerHandle);
// Destroys Application and everything it owns; nothing when there is none.
void FreeApplication() noexcept;

// Registers the window's icons with Qt's resource system (":/scrivlock/...");
// balanced by UnregisterResources. Both count, so nested use is fine.
void RegisterResources();
void UnregisterResources();

// Moves the window `widget` so that its frame is centred on the screen of its
// owner (or the primary screen).
void CentreOnScreen(QWidget& widget);

// The commands' message box: `text` (line breaks CR LF) in a plain box with
// one OK button and no icon, centred on the screen; returns when it is closed.
void ShowPlainMessage(const std::string& text);

// The message of the error `error`: what() of a standard exception (TError
// among them), else `unknown`.
std::string ErrorMessage(std::exception_ptr error, const char* unknown = "Unknown error.") noexcept;

// The standard report of an unhandled error: the error's message in a box with
// the error icon and one OK button, centred on the screen. Never throws; with
// no QApplication it writes the message to stderr instead.
void ShowException(std::exception_ptr error) noexcept;

// Runs `action` and turns whatever it throws into the standard report: every
// place where the host or Qt calls into the plug-in goes through it, so that no
// exception leaves the plug-in.
template <class TAction>
void Guarded(TAction&& action) noexcept {
  try {
    action();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

}  // namespace scrivlock::ui
