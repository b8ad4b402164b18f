// TCommandSite: what the commands need from whatever shows them: the two
// buttons, the message box and the deletion of a file. The Comments window
// implements it with its widgets; the command-line tool with stderr and its
// file-backed host; tests with a recorder. The command logic itself knows no
// widget toolkit.
#pragma once

#include <cstdint>
#include <string>

namespace scrivlock::commands {

// A place in a file's text, line and column counted from 1 (the column in
// bytes, tabs as one), as compilers and editors give them.
struct TTextPlace {
  std::string FileName;
  int64_t Line = 1;
  int64_t Column = 1;
};

enum TCommandButton : int {
  cbUnComment = 0,  // "Uncomment" (UnCommBtn)
  cbReComment = 1,  // "Re-Comment" (ReCommBtn)
};

class TCommandSite {
 public:
  virtual ~TCommandSite() = default;

  // Enables or disables one button. A command disables both while it runs and
  // enables both again however it ends (Uncomment: ReCommBtn first; Re-Comment:
  // UnCommBtn first), also while a failure is on its way out: so it must not
  // throw.
  virtual void SetButtonEnabled(TCommandButton button, bool enabled) noexcept = 0;

  // Shows `text` to the user in a plain message box (one OK button, no icon,
  // centred on the screen) and returns when the box is closed. Line breaks in
  // `text` are CR LF.
  virtual void ShowMessage(const std::string& text) = 0;
  // Shows `text`, a message about `place` in a unit. The default shows it as
  // ShowMessage does; a site whose user can jump to places (the command line,
  // read by editors) names the place as well.
  virtual void ShowMessageAt(const std::string& text, const TTextPlace& place);

  // Deletes the file `fileName` from disk, at the end of Re-Comment. The
  // default hands it to the host (TIToolServices::DeleteModuleFile), which
  // deletes it at once or keeps it until the restored unit is saved; without
  // a host it removes it at once. A site over a host that saves its buffers
  // itself may instead schedule the deletion after the restored unit is saved.
  // The commands ignore the result.
  virtual bool DeleteModuleFile(const std::string& fileName);
};

}  // namespace scrivlock::commands
