// The Qt IDE host behind the conformance suite: the real window, offscreen,
// with the boxes it shows answered and kept.
#include <QAction>
#include <QMenuBar>
#include <fstream>

#include "HostUnderTest.h"
#include "hosts/ide/IdeWindow.h"
#include "support/QtTestSupport.h"

namespace scrivlock::hosts::conformance {

using namespace scrivlock::hostintf;

namespace {

class TIdeHostUnderTest : public THostUnderTest {
 public:
  void Start(const std::string& folder, const std::vector<TFile>& units,
             const std::vector<TFile>& others) override {
    std::vector<std::string> unitFiles;
    for (const TFile& unit : units) {
      unitFiles.push_back(folder + "/" + unit.Name);
      std::ofstream(unitFiles.back(), std::ios::binary) << unit.Text;
    }
    for (const TFile& other : others)
      std::ofstream(folder + "/" + other.Name, std::ios::binary) << other.Text;
    FIde.Services().OpenProject(folder + "/Project.dpr",
                                "program Project;\r\n\r\nbegin\r\nend.\r\n", unitFiles);
  }
  TIToolServices& Services() override { return FIde.Services(); }
  std::string ProjectFile() override { return FIde.Services().GetProjectName(); }
  // The window shows each as an error box.
  std::vector<std::string> Escapes() override { return FBoxes.Texts(); }
  bool RemoveUnit(const std::string& fileName) override {
    return FIde.Services().RemoveFromProject(fileName);
  }
  bool CloseProject() override {
    FIde.Services().CloseProject();
    return true;
  }
  bool LoadPlugIn(const std::string& path, std::string& error) override {
    return FIde.Services().LoadExpertLibrary(path, error);
  }
  void UnloadPlugIns() override { FIde.Services().UnloadExperts(); }
  int ExpertCount() override { return FIde.Services().ExpertCount(); }
  int AddInNotifierCount() override { return FIde.Services().AddInNotifierCount(); }
  bool HasMenuItem(const std::string& name) override {
    return FIde.menuBar()->findChild<QAction*>(QString::fromStdString(name)) != nullptr;
  }

 private:
  testing::TBoxRecorder FBoxes;  // made first, so that it answers until the window is gone
  ide::TIdeWindow FIde;
};

}  // namespace

THostKind IdeHostKind() {
  return {"ide", [] { return std::make_unique<TIdeHostUnderTest>(); }, true, true, true};
}

}  // namespace scrivlock::hosts::conformance
