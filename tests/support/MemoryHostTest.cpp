#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/ByteStream.h"
#include "hostintf/InterfacePtr.h"
#include "support/MemoryHost.h"
#include "support/TestExpert.h"

namespace scrivlock::hosts {
namespace {

using namespace scrivlock::hostintf;

// Records every notification it hears as "code file" / "module code".
class TRecorder : public TIAddInNotifier, public TIModuleNotifier {
 public:
  std::vector<std::string> Events;

  void FileNotification(TFileNotification code, const std::string& fileName,
                        bool& /*cancel*/) override {
    Events.push_back("fn" + std::to_string(code) + " " + fileName);
  }
  void EventNotification(TEventNotification, bool&) override {}
  void Notify(TNotifyCode code) override { Events.push_back("nc" + std::to_string(code)); }
  void ComponentRenamed(void*, const std::string&, const std::string&) override {}
};

class TMemoryHostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(FHost.LiveInterfaces(), 0);
    if (!FFaultsExpected) {
      EXPECT_TRUE(FHost.ReferenceFaults().empty());
    }
  }
  TIToolServices& Services() { return *FHost.ToolServices(); }
  std::string Apply(const std::string& fileName, const std::function<void(TIEditWriter&)>& edit) {
    TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface(fileName));
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
    edit(*writer);
    EXPECT_EQ(*FHost.Text(fileName), "abcdef") << "a writer's changes show only when it goes";
    writer.Reset();
    return *FHost.Text(fileName);
  }

  TMemoryHost FHost;
  bool FFaultsExpected = false;
};

TEST_F(TMemoryHostTest, CountsLiveInterfacesAndRecordsReleasesPastZero) {
  FHost.OpenProject("/p/P.dpr");
  TIModuleInterface* module = Services().GetModuleInterface("/p/p.DPR");
  ASSERT_NE(module, nullptr);
  TIEditorInterface* editor = module->GetEditorInterface();
  EXPECT_EQ(FHost.LiveInterfaces(), 2);
  module->AddRef();
  EXPECT_EQ(module->Release(), 1);
  EXPECT_EQ(module->Release(), 0);
  EXPECT_EQ(editor->Release(), 0);
  EXPECT_EQ(FHost.LiveInterfaces(), 0);
  EXPECT_TRUE(FHost.ReferenceFaults().empty());

  module->Release();
  editor->FileName();
  Services().Release();
  ASSERT_EQ(FHost.ReferenceFaults().size(), 3u);
  EXPECT_EQ(FHost.ReferenceFaults()[0], "TIModuleInterface::Release after its final Release");
  EXPECT_EQ(FHost.ReferenceFaults()[2], "TIToolServices released to 0 by its user");
  FFaultsExpected = true;
}

TEST_F(TMemoryHostTest, FiresNotificationsAsAnIdeDoes) {
  TRecorder recorder;
  ASSERT_TRUE(Services().AddNotifier(&recorder));
  EXPECT_FALSE(Services().AddNotifier(&recorder));
  FHost.OpenProject("/p/P.dpr");
  {
    TInterfacePtr<TIModuleInterface> project(Services().GetModuleInterface("/p/P.dpr"));
    EXPECT_TRUE(project->IsProjectModule());
    project->AddNotifier(&recorder);
  }
  FHost.AddUnit("/p/A.pas", "unit A;");
  {
    TInterfacePtr<TIModuleInterface> created(Services().CreateModuleEx(
        "", "", "", "", nullptr, nullptr,
        CreateFlag(cmAddToProject) | CreateFlag(cmUnNamed) | CreateFlag(cmNewUnit)));
    ASSERT_TRUE(created);
  }
  FHost.RenameUnit("/p/A.pas", "/p/B.pas");
  FHost.RemoveUnit("/p/b.pas");
  FHost.SaveAll();  // the project file cannot be written: /p does not exist
  FHost.CloseProject();
  EXPECT_EQ(recorder.Events, (std::vector<std::string>{"fn3 /p/P.dpr", "fn4 /p/P.dpr",
                                                       "fn6 /p/A.pas", "fn6 /p/Unit1.pas", "nc1",
                                                       "fn7 /p/B.pas", "fn5 /p/P.dpr", "nc0"}));
  EXPECT_TRUE(Services().RemoveNotifier(&recorder));
}

// The rest of creating units is the hosts' conformance suite's.
TEST_F(TMemoryHostTest, CreateModuleExNeedsAProjectToAddToAndMarksModifiedOnlyWhenTold) {
  EXPECT_EQ(Services().CreateModuleEx("", "", "", "", nullptr, nullptr, CreateFlag(cmAddToProject)),
            nullptr)
      << "no project to add to";
  FHost.OpenProject("/p/P.dpr");
  const TByteStream source("unit Given;");
  TInterfacePtr<TIModuleInterface> loose(Services().CreateModuleEx(
      "/p/Given.pas", "", "", "", &source, nullptr, CreateFlag(cmNewUnit)));
  ASSERT_TRUE(loose);
  EXPECT_FALSE(FHost.Modified("/p/Given.pas"));
  TInterfacePtr<TIModuleInterface> marked(Services().CreateModuleEx(
      "/p/Marked.pas", "", "", "", &source, nullptr, CreateFlag(cmMarkModified)));
  ASSERT_TRUE(marked);
  EXPECT_TRUE(FHost.Modified("/p/Marked.pas"));
}

TEST_F(TMemoryHostTest, MenuItemsInsertedByAPlugInClickAndLeaveWithItsLastReference) {
  int clicks = 0;
  TInterfacePtr<TIMenuItemIntf> inserted;
  {
    TInterfacePtr<TIMainMenuIntf> menu(Services().GetMainMenu());
    TInterfacePtr<TIMenuItemIntf> items(menu->GetMenuItems());
    EXPECT_EQ(items->GetItemCount(), 4);
    TInterfacePtr<TIMenuItemIntf> manager(menu->FindMenuItem("ViewPrjMgrItem"));
    ASSERT_TRUE(manager);
    TInterfacePtr<TIMenuItemIntf> view(manager->GetParent());
    EXPECT_EQ(view->GetName(), "ViewMenu");
    inserted = TInterfacePtr<TIMenuItemIntf>(
        view->InsertItem(manager->GetIndex() + 1, "Comments...", "MyItem", "", 0, 0, 0,
                         MenuFlag(mfEnabled) | MenuFlag(mfVisible), [&](TIMenuItemIntf* sender) {
                           EXPECT_EQ(sender->GetName(), "MyItem");
                           ++clicks;
                         }));
  }
  EXPECT_EQ(FHost.MenuItemNames("ViewMenu"),
            (std::vector<std::string>{"ViewPrjMgrItem", "MyItem", "ViewObjInspItem"}));
  EXPECT_TRUE(FHost.ClickMenuItem("MyItem"));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(FHost.FindMenuItem("MyItem")->Caption, "Comments...");
  inserted.Reset();
  EXPECT_FALSE(FHost.FindMenuItem("MyItem"));
  EXPECT_FALSE(FHost.ClickMenuItem("MyItem"));

  FHost.SetHasMainMenu(false);
  EXPECT_EQ(Services().GetMainMenu(), nullptr);
}

TEST_F(TMemoryHostTest, ReadersTellTheLengthAndFaultsBendWhatTheHostHoldsAndTells) {
  FHost.OpenProject("/p/P.dpr", "program P;");
  auto lengthOf = [&] {
    TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface("/p/P.dpr"));
    TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
    return TInterfacePtr<TIEditReader>(editor->CreateReader())->TextLength();
  };
  EXPECT_EQ(lengthOf(), 10);
  FHost.Faults().TextLengths = {{"/P/p.DPR", 3}};
  EXPECT_EQ(lengthOf(), 3);
  FHost.Faults().TextLengths.clear();

  FHost.Faults().AlterWrittenText = [](const std::string& fileName, std::string& text) {
    text += " altered in " + fileName;
  };
  FHost.SetText("/p/P.dpr", "abcdef");
  EXPECT_EQ(Apply("/p/P.dpr", [](TIEditWriter& w) { w.DeleteTo(2); }), "def altered in /p/P.dpr");
}

TEST_F(TMemoryHostTest, AClosedBufferIsReadBackFromItsFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("scrivlock-memhost-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string saved = (folder / "Saved.pas").string();
  const std::string unsaved = (folder / "Unsaved.pas").string();
  FHost.OpenProject((folder / "P.dpr").string());
  FHost.AddUnit(saved, "on disk");
  FHost.AddUnit(unsaved, "only in the editor");
  ASSERT_TRUE(FHost.Save(saved));
  FHost.SetText(saved, "changed, not saved");
  for (const std::string& name : {saved, unsaved}) {
    TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface(name));
    EXPECT_TRUE(module->Close());
    EXPECT_EQ(TInterfacePtr<TIEditorInterface>(module->GetEditorInterface()).Get(), nullptr);
  }
  TInterfacePtr<TIModuleInterface> reopened(Services().GetModuleInterface(saved));
  ASSERT_TRUE(reopened);
  EXPECT_EQ(*FHost.Text(saved), "on disk");
  EXPECT_EQ(Services().GetModuleInterface(unsaved), nullptr);
  std::filesystem::remove_all(folder);
}

// An expert registered through the entry point; the host releases it on unload.
class TDestroyedExpert : public testing::TTestExpert {
 public:
  explicit TDestroyedExpert(bool* destroyed) : TTestExpert("Test"), FDestroyed(destroyed) {}

 protected:
  ~TDestroyedExpert() override { *FDestroyed = true; }

 private:
  bool* FDestroyed;
};

bool gDestroyed = false;

bool TestEntryPoint(TIToolServices* services, TExpertRegisterProc registerProc,
                    TExpertTerminateProc*) {
  services->RaiseException("registered");
  return registerProc(new TDestroyedExpert(&gDestroyed));
}

TEST_F(TMemoryHostTest, RegistersExpertsAndReleasesThemOnUnload) {
  ASSERT_TRUE(FHost.InitExpert(&TestEntryPoint));
  ASSERT_EQ(FHost.ExpertCount(), 1);
  EXPECT_EQ(FHost.Expert(0)->GetName(), "Test");
  EXPECT_EQ(FHost.RaisedExceptions(), std::vector<std::string>{"registered"});
  FHost.UnloadExperts();
  EXPECT_TRUE(gDestroyed);
  EXPECT_EQ(FHost.ExpertCount(), 0);
}

}  // namespace
}  // namespace scrivlock::hosts
