// TComments: the Comments window, a small stay-on-top tool window with the
// buttons "Uncomment" and "Re-Comment" above a drop-down list of the project's
// units. It exists at most once (the global Comments), is created on the first
// choice of the "Comments..." menu command (EnsureCommentsWindow) and is owned
// by the application object; closing it only hides it.
//
// The window lists the units it is given (SetUnits, AddUnits, RemoveUnit): it
// does not ask the host for them. FUnitFiles holds their full file names,
// parallel to the entries of CBUnits, which show their name-and-extension
// parts: the drop-down's selected index selects a full file name, on which the
// buttons run the commands.
//
// Everything runs on the host's user-interface thread.
#pragma once

#include <QWidget>
#include <string>
#include <string_view>
#include <vector>

#include "commands/CommandSite.h"
#include "commands/UnitFileList.h"

class QComboBox;
class QPushButton;

namespace scrivlock::ui {

class TCipherTool;

// The encoded text and key from which FormCreate deciphers the window's hint.
struct THintSource {
  std::string_view Encoded;
  std::string_view Key;
};
THintSource BuiltInHint();

class TComments : public QWidget, public commands::TCommandSite {
  Q_OBJECT

 public:
  // Builds the window, hidden, as a window of its own owned by `owner` (may be
  // null), then runs FormCreate. A failing FormCreate is shown in the standard
  // report and the window is created all the same: without a hint, with a
  // working (empty) unit list. Sets Comments to the window at once.
  explicit TComments(QWidget* owner, THintSource hint = BuiltInHint());
  // FormDestroy.
  ~TComments() override;

  // The window's parts, in the order of their creation. The window owns them.
  QPushButton* ReCommBtn = nullptr;
  QPushButton* UnCommBtn = nullptr;
  QComboBox* CBUnits = nullptr;
  TCipherTool* CipherTool1 = nullptr;

  // Deciphers the hint and makes it the tooltip of the window (and so of its
  // buttons and list, which have none of their own), then empties the unit
  // list. Throws the cipher's errors.
  void FormCreate();
  // Empties the unit list and sets Comments to none.
  void FormDestroy();

  // The listed units' full file names, in the order of the drop-down.
  const commands::TUnitFileList& Units() const { return FUnitFiles; }
  // The list becomes `files`, in their order. Each change of the list refills
  // the drop-down once, and its selection goes.
  void SetUnits(const std::vector<std::string>& files);
  // Appends `files` as they are, also those listed already.
  void AddUnits(const std::vector<std::string>& files);
  // Removes the first entry equal to `fileName` regardless of letter case; the
  // drop-down is refilled whether or not there is one.
  void RemoveUnit(std::string_view fileName);
  // Selects the entry of `fileName` (letter case not told apart), if it is
  // listed; otherwise the selection stays.
  void SelectUnit(const std::string& fileName);

  // The click of either button: runs the command of `sender` on the chosen
  // unit. Throws what the command lets through (after enabling the buttons).
  void CommBtnsClick(QObject* sender);

  // Makes the window visible and brings it to the front, without waiting; the
  // first time it is centred on the screen.
  void ShowWindow();
  void HideWindow();

  // TCommandSite.
  void SetButtonEnabled(commands::TCommandButton button, bool enabled) noexcept override;
  void ShowMessage(const std::string& text) override;

 private:
  // Refills CBUnits from FUnitFiles; the selection goes.
  void FillUnitCombo();

  commands::TUnitFileList FUnitFiles;
  THintSource FHint;
  bool FPlaced = false;
};

// The one Comments window; none until EnsureCommentsWindow and again after the
// window's destruction.
extern TComments* Comments;

// Creates the window when Comments is none, owned by the application object
// (Application.h), which must exist. A failing construction leaves Comments
// none and reaches the caller.
void EnsureCommentsWindow();

}  // namespace scrivlock::ui
