// A plug-in for testing hosts: it registers one expert, holds a menu item and
// an add-in notifier while the expert lives, hands back a terminate routine,
// and writes down what the host does with it (TestPlugIn.h). Built a second
// time without its entry point, for the hosts' refusal of such a library.
// Beside it: the plug-in links nothing of the tests.
#include "TestPlugIn.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "TestExpert.h"
#include "hostintf/ExptIntf.h"
#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolIntf.h"

namespace {

using namespace scrivlock::hostintf;
namespace testing = scrivlock::testing;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Appends `event` to the log, opened for each line so that every line is on
// disk when the host goes on.
void Log(const std::string& event) {
  static const std::string path = Environment(testing::kTestPlugInLog);
  if (path.empty()) return;
  if (std::FILE* log = std::fopen(path.c_str(), "a")) {
    std::fprintf(log, "%s\n", event.c_str());
    std::fclose(log);
  }
}

// Marks the library's loading and closing.
struct TLifetime {
  TLifetime() { Log("loaded"); }
  ~TLifetime() { Log("unloaded"); }
} Lifetime;

bool Mode(const char* mode) {
  return Environment(testing::kTestPlugInMode) == mode;
}

class TNotifier : public TIAddInNotifier {
 public:
  void FileNotification(TFileNotification, const std::string&, bool&) override {}
  void EventNotification(TEventNotification, bool&) override {}
};

class TExpert : public testing::TTestExpert {
 public:
  explicit TExpert(TIToolServices& services) : TTestExpert("TestPlugIn"), FServices(services) {
    TInterfacePtr<TIMainMenuIntf> menu(services.GetMainMenu());
    if (menu) {
      TInterfacePtr<TIMenuItemIntf> manager(menu->FindMenuItem("ViewPrjMgrItem"));
      TInterfacePtr<TIMenuItemIntf> parent(manager ? manager->GetParent() : nullptr);
      if (parent) {
        FMenuItem = TInterfacePtr<TIMenuItemIntf>(
            parent->InsertItem(manager->GetIndex() + 1, "Test", testing::kTestPlugInMenuItem, "", 0,
                               0, 0, MenuFlag(mfEnabled) | MenuFlag(mfVisible), nullptr));
      }
    }
    FServices.AddNotifier(FNotifier.Get());
  }
  int32_t Release() override {
    const int32_t count = TTestExpert::Release();
    if (count == 0 && Mode("throw-release")) throw std::runtime_error("release failed");
    return count;
  }

 protected:
  ~TExpert() override {
    FServices.RemoveNotifier(FNotifier.Get());
    Log("expert released");
  }

 private:
  TIToolServices& FServices;
  TInterfacePtr<TIMenuItemIntf> FMenuItem;
  TInterfacePtr<TNotifier> FNotifier{new TNotifier};
};

}  // namespace

#ifndef SCRIVLOCK_TEST_PLUGIN_NO_ENTRY
namespace {

void Terminate() {
  Log("terminate");
  if (Mode("throw-terminate")) throw std::runtime_error("terminate failed");
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool INITEXPERT0017(
    TIToolServices* toolServices, TExpertRegisterProc registerProc,
    TExpertTerminateProc* terminate) {
  Log("entry");
  if (Mode("throw-entry")) throw std::runtime_error("entry failed");
  if (registerProc(new TExpert(*toolServices))) Log("registered");
  *terminate = &Terminate;
  return !Mode("refuse");
}
#endif
