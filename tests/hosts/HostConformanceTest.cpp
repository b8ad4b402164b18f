// The same rows against every host of ours (HostUnderTest.h): the positions of
// an editor writer, the naming and creation of new units, the notifications
// and their guard, and the loading and unloading of a plug-in. A host that
// numbers a writer's positions, names a unit or lets a notifier's exception
// through otherwise than the rest fails here by name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <tuple>

#include "HostUnderTest.h"
#include "base/ByteStream.h"
#include "hostintf/InterfacePtr.h"
#include "support/TestPlugIn.h"

namespace scrivlock::hosts::conformance {
namespace {

using namespace scrivlock::hostintf;
namespace fs = std::filesystem;

// What the commands ask for (0x9B): add, show, name, fill and mark a new unit.
constexpr TCreateModuleFlags kNewUnitFlags = CreateFlag(cmAddToProject) | CreateFlag(cmShowSource) |
                                             CreateFlag(cmUnNamed) | CreateFlag(cmNewUnit) |
                                             CreateFlag(cmMarkModified);

std::string NewUnitTextOf(const std::string& ident) {
  return "unit " + ident + ";\r\n\r\ninterface\r\n\r\nimplementation\r\n\r\nend.\r\n";
}

// Writes down what it hears, as "<tag> fn<code> <file>" and "<tag> nc<code>",
// into a log it may share with other recorders; may be told to act on a call.
class TRecorder : public TIAddInNotifier, public TIModuleNotifier {
 public:
  TRecorder(std::string tag, std::vector<std::string>& log) : FTag(std::move(tag)), FLog(log) {}
  std::function<void()> OnCall;

  void FileNotification(TFileNotification code, const std::string& fileName, bool&) override {
    FLog.push_back(FTag + " fn" + std::to_string(code) + " " + fileName);
    if (OnCall) OnCall();
  }
  void EventNotification(TEventNotification, bool&) override {}
  void Notify(TNotifyCode code) override {
    FLog.push_back(FTag + " nc" + std::to_string(code));
    if (OnCall) OnCall();
  }
  void ComponentRenamed(void*, const std::string&, const std::string&) override {}

 private:
  std::string FTag;
  std::vector<std::string>& FLog;
};

// A host made fresh on a project in a folder of its own. At the end, the host
// must have every interface object back, seen no misuse, and heard no escape
// a test did not expect.
template <class TParam>
class THostFixture : public ::testing::TestWithParam<TParam> {
 protected:
  THostFixture() {
    static int serial = 0;
    FFolder = (fs::temp_directory_path() / ("scrivlock-conformance-" + std::to_string(::getpid()) +
                                            "-" + std::to_string(++serial)))
                  .string();
    fs::remove_all(FFolder);
    fs::create_directories(FFolder);
  }
  ~THostFixture() override {
    FHost.reset();
    fs::remove_all(FFolder);
  }
  void TearDown() override {
    for (TRecorder* recorder : {&FFirst, &FSecond}) recorder->OnCall = nullptr;
    if (!FHost) return;
    if (const std::optional<int> live = FHost->LiveInterfaces()) {
      EXPECT_EQ(*live, 0) << "interface objects not released";
    }
    EXPECT_EQ(FHost->ReferenceFaults(), std::vector<std::string>{});
    if (!FEscapesExpected) {
      EXPECT_EQ(FHost->Escapes(), std::vector<std::string>{});
    }
  }

  virtual const THostKind& Kind() const = 0;

  void Start(const std::vector<TFile>& units, const std::vector<TFile>& others = {}) {
    FHost = Kind().Make();
    FHost->Start(FFolder, units, others);
  }
  TIToolServices& Services() { return FHost->Services(); }
  std::string PathOf(const std::string& name) const { return FFolder + "/" + name; }

  TInterfacePtr<TIEditorInterface> EditorOf(const std::string& fileName) {
    TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface(fileName));
    if (!module) return {};
    return TInterfacePtr<TIEditorInterface>(module->GetEditorInterface());
  }
  // The text as a reader delivers it, read in small pieces so that texts span
  // several reads.
  static std::string TextOf(TIEditorInterface& editor) {
    TInterfacePtr<TIEditReader> reader(editor.CreateReader());
    if (!reader) return "<no reader>";
    std::string text;
    char piece[7];
    for (int32_t n; (n = reader->GetText(static_cast<int32_t>(text.size()), piece, 7)) > 0;)
      text.append(piece, static_cast<size_t>(n));
    return text;
  }
  std::string TextOf(const std::string& fileName) {
    TInterfacePtr<TIEditorInterface> editor = EditorOf(fileName);
    return editor ? TextOf(*editor) : "<no editor>";
  }
  std::vector<std::string> ProjectUnits() {
    std::vector<std::string> units;
    for (int32_t i = 0; i < Services().GetUnitCount(); ++i)
      units.push_back(Services().GetUnitName(i));
    return units;
  }
  std::vector<std::pair<std::string, std::string>> EnumeratedUnits() {
    std::vector<std::pair<std::string, std::string>> units;
    Services().EnumProjectUnits(
        [](void* param, const std::string& fileName, const std::string& unitName,
           const std::string&) {
          static_cast<decltype(units)*>(param)->emplace_back(fileName, unitName);
          return true;
        },
        &units);
    return units;
  }
  TInterfacePtr<TIModuleInterface> CreateUnit() {
    return TInterfacePtr<TIModuleInterface>(
        Services().CreateModuleEx("", "", "", "", nullptr, nullptr, kNewUnitFlags));
  }

  std::string FFolder;
  std::vector<std::string> FHeard;
  TRecorder FFirst{"first", FHeard};  // made before the host: it may call them as it goes
  TRecorder FSecond{"second", FHeard};
  std::unique_ptr<THostUnderTest> FHost;
  bool FEscapesExpected = false;
};

std::string KindName(const THostKind& kind) {
  return kind.Name;
}

// A host and a row of a table; each row type has a Name.
template <class TRow>
class THostRowFixture : public THostFixture<std::tuple<THostKind, TRow>> {
 protected:
  const THostKind& Kind() const override { return std::get<0>(this->GetParam()); }
  const TRow& Row() const { return std::get<1>(this->GetParam()); }
};

// A host alone.
class THostKindFixture : public THostFixture<THostKind> {
 protected:
  const THostKind& Kind() const override { return GetParam(); }
};

// Test names: "<host>" and "<host>_<row>".
std::string TestName(const ::testing::TestParamInfo<THostKind>& info) {
  return KindName(info.param);
}
struct TRowTestName {
  template <class TParam>
  std::string operator()(const ::testing::TestParamInfo<TParam>& info) const {
    return KindName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).Name;
  }
};

// --- The writer's positions ---------------------------------------------------

enum TOp { opInsert, opCopyTo, opDeleteTo, opNextWriter };
struct TStep {
  TOp Op;
  int32_t Position = 0;
  const char* Text = nullptr;
  bool Answer = true;
};
TStep Ins(const char* text, bool answer = true) {
  return {opInsert, 0, text, answer};
}
TStep Copy(int32_t position) {
  return {opCopyTo, position};
}
TStep Del(int32_t position) {
  return {opDeleteTo, position};
}
// Releases the writer, whose text becomes the buffer's, and makes a new one.
TStep Next() {
  return {opNextWriter};
}

struct TWriterRow {
  const char* Name;
  std::string Original;
  std::vector<TStep> Steps;
  std::string Result;
  int32_t Cursor;  // CurrentPos after the steps
};

// Longer than the piece in which an inserted text is measured and handed on.
const std::string& LongText() {
  static const std::string text = [] {
    std::string lines;
    while (lines.size() < (size_t{3} << 19))
      lines += "line " + std::to_string(lines.size()) + " of a long text\r\n";
    return lines;
  }();
  return text;
}

const TWriterRow kWriterRows[] = {
    {"InsertAtTheStart", "abcdef", {Ins("XY")}, "XYabcdef", 0},
    {"InsertInTheMiddle", "abcdef", {Copy(2), Ins("-")}, "abc-def", 3},
    {"InsertAtTheEnd", "abcdef", {Copy(5), Ins("!")}, "abcdef!", 6},
    {"InsertPastTheEnd", "abcdef", {Copy(100), Ins("!")}, "abcdef!", 6},
    {"InsertsAtOnePlaceKeepTheirOrder",
     "abcdef",
     {Ins("1"), Ins("2"), Copy(0), Ins("3")},
     "12a3bcdef",
     1},
    {"DeleteAtTheStart", "abcdef", {Del(0)}, "bcdef", 1},
    {"DeleteInTheMiddle", "abcdef", {Copy(1), Del(3)}, "abef", 4},
    {"DeleteAtTheEnd", "abcdef", {Copy(4), Del(5)}, "abcde", 6},
    {"DeletePastTheEndStopsThere", "abcdef", {Del(100)}, "", 6},
    {"DeleteBelowTheCursorRemovesNothing", "abcdef", {Del(2), Del(1)}, "def", 3},
    {"NegativePositionsDoNothing", "abcdef", {Del(-1), Copy(-5)}, "abcdef", 0},
    {"CopyInsertDelete", "abcdef", {Copy(1), Ins("-"), Del(3)}, "ab-ef", 4},
    {"ReplaceAllAsTheCommandsDo", "abcdef", {Ins("XY"), Del(5)}, "XY", 6},
    {"ReplaceAnEmptyText", "", {Ins("new"), Del(-1)}, "new", 0},
    {"PositionsInAnEmptyText", "", {Del(0), Copy(3)}, "", 0},
    {"InsertZeroBytes", "abcdef", {Ins("")}, "abcdef", 0},
    {"AZeroByteEndsTheText", "abcdef", {Ins("ab\0cd"), Del(5)}, "ab", 6},
    {"ANullTextIsRefusedAndTheWriterGoesOn",
     "abcdef",
     {Ins(nullptr, false), Copy(1), Ins("-")},
     "ab-cdef",
     2},
    {"LineBreaks",
     "line one\r\nline two\r\n",
     {Copy(9), Ins("new\r\n")},
     "line one\r\nnew\r\nline two\r\n",
     10},
    {"ALongText", "abcdef", {Ins(LongText().c_str()), Del(5)}, LongText(), 6},
    {"NoStepsChangeNothing", "abcdef", {}, "abcdef", 0},
    {"AWriterStartsFromWhatTheLastOneLeft",
     "abcdef",
     {Copy(2), Ins("-"), Next(), Copy(2), Del(3)},
     "abcdef",
     4},
};

void PrintTo(const TWriterRow& row, std::ostream* os) {
  *os << row.Name;
}
using HostWriterTest = THostRowFixture<TWriterRow>;

TEST_P(HostWriterTest, PositionsAreThoseOfTheTextTheWriterStartedFrom) {
  const TWriterRow& row = Row();
  Start({{"Main.pas", row.Original}});
  TInterfacePtr<TIEditorInterface> editor = EditorOf(PathOf("Main.pas"));
  ASSERT_TRUE(editor);
  ASSERT_EQ(TextOf(*editor), row.Original);
  std::string before = row.Original;
  TInterfacePtr<TIEditWriter> writer(editor->CreateWriter());
  ASSERT_TRUE(writer);
  EXPECT_EQ(TInterfacePtr<TIEditWriter>(editor->CreateWriter()).Get(), nullptr)
      << "one writer at a time";
  for (const TStep& step : row.Steps) {
    switch (step.Op) {
      case opInsert:
        EXPECT_EQ(writer->Insert(step.Text), step.Answer) << "Insert";
        break;
      case opCopyTo:
        EXPECT_EQ(writer->CopyTo(step.Position), step.Answer) << "CopyTo " << step.Position;
        break;
      case opDeleteTo:
        EXPECT_EQ(writer->DeleteTo(step.Position), step.Answer) << "DeleteTo " << step.Position;
        break;
      case opNextWriter:
        writer.Reset();
        before = TextOf(*editor);
        writer = TInterfacePtr<TIEditWriter>(editor->CreateWriter());
        ASSERT_TRUE(writer);
        break;
    }
  }
  EXPECT_EQ(writer->CurrentPos(), row.Cursor);
  EXPECT_EQ(TextOf(*editor), before) << "a writer's text shows only when it goes";
  writer.Reset();
  EXPECT_EQ(TextOf(*editor), row.Result);
  if (row.Result != row.Original) {
    EXPECT_TRUE(editor->BufferModified());
  }
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostWriterTest,
                         ::testing::Combine(::testing::ValuesIn(HostKinds()),
                                            ::testing::ValuesIn(kWriterRows)),
                         TRowTestName());

// --- New units ------------------------------------------------------------------

struct TNameRow {
  const char* Name;
  std::vector<std::string> Units;
  std::vector<std::string> Others;  // files in the folder, not units where the host tells
  const char* Proposed;
};

const TNameRow kNameRows[] = {
    {"NoUnitNTaken", {"Main.pas"}, {}, "Unit1"},
    {"TakenOnesAreSkipped", {"Unit1.pas", "Unit2.pas"}, {}, "Unit3"},
    {"TakenInAnyLetterCase", {"unit1.PAS", "UNIT2.pas"}, {}, "Unit3"},
    {"TheFirstGapIsTaken", {"Unit1.pas", "Unit3.pas"}, {}, "Unit2"},
    {"AFileOnDiskIsTaken", {"Main.pas"}, {"Unit1.pas"}, "Unit2"},
    // UnitN.pp is unit UnitN: a UnitN.pas beside it would clash.
    {"APpUnitTakesItsNumber", {"Unit1.pp", "unit2.PP"}, {}, "Unit3"},
    {"APpFileOnDiskTakesItsNumber", {"Main.pas"}, {"Unit1.pp"}, "Unit2"},
};

void PrintTo(const TNameRow& row, std::ostream* os) {
  *os << row.Name;
}
using HostNewUnitTest = THostRowFixture<TNameRow>;

// GetNewModuleName, then CreateModuleEx as the commands call it: the new unit
// bears the proposed name, holds the empty unit and joins the project.
TEST_P(HostNewUnitTest, CreatesTheUnitItProposed) {
  const TNameRow& row = Row();
  std::vector<TFile> units, others;
  for (const std::string& name : row.Units) units.push_back({name, "unit X;"});
  for (const std::string& name : row.Others) others.push_back({name, "unit X;"});
  Start(units, others);
  std::string ident, fileName;
  ASSERT_TRUE(Services().GetNewModuleName(ident, fileName));
  EXPECT_EQ(ident, row.Proposed);
  EXPECT_EQ(fileName, PathOf(std::string(row.Proposed) + ".pas"));

  TInterfacePtr<TIModuleInterface> created = CreateUnit();
  ASSERT_TRUE(created);
  TInterfacePtr<TIEditorInterface> editor(created->GetEditorInterface());
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->FileName(), fileName);
  EXPECT_EQ(TextOf(*editor), NewUnitTextOf(ident));
  EXPECT_TRUE(editor->BufferModified());
  const std::vector<std::string> listed = ProjectUnits();
  EXPECT_NE(std::find(listed.begin(), listed.end(), fileName), listed.end());
  const auto enumerated = EnumeratedUnits();
  EXPECT_NE(std::find(enumerated.begin(), enumerated.end(), std::make_pair(fileName, ident)),
            enumerated.end())
      << "enumerated with its unit identifier";

  std::string nextIdent, nextFile;
  ASSERT_TRUE(Services().GetNewModuleName(nextIdent, nextFile));
  EXPECT_NE(nextIdent, ident) << "the new unit's name is taken now";
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostNewUnitTest,
                         ::testing::Combine(::testing::ValuesIn(HostKinds()),
                                            ::testing::ValuesIn(kNameRows)),
                         TRowTestName());

class HostTest : public THostKindFixture {};

TEST_P(HostTest, CreatesANamedUnitFromASourceUnlessTheNameIsTaken) {
  Start({{"Main.pas", "unit Main;"}});
  const TByteStream source("unit Given;");
  {
    TInterfacePtr<TIModuleInterface> given(Services().CreateModuleEx(
        PathOf("Given.pas"), "", "", "", &source, nullptr, CreateFlag(cmNewUnit)));
    ASSERT_TRUE(given);
  }
  EXPECT_EQ(TextOf(PathOf("Given.pas")), "unit Given;");
  const std::vector<std::string> listed = ProjectUnits();
  EXPECT_EQ(std::find(listed.begin(), listed.end(), PathOf("Given.pas")), listed.end())
      << "not added without cmAddToProject";
  for (const char* taken : {"given.PAS", "Main.pas", "MAIN.pas"}) {
    EXPECT_EQ(Services().CreateModuleEx(PathOf(taken), "", "", "", nullptr, nullptr,
                                        CreateFlag(cmNewUnit)),
              nullptr)
        << taken;
  }
}

// --- Notifications ----------------------------------------------------------------

TEST_P(HostTest, ANewUnitIsToldToEveryAddInNotifierInOrder) {
  Start({{"Main.pas", "unit Main;"}});
  ASSERT_TRUE(Services().AddNotifier(&FFirst));
  ASSERT_TRUE(Services().AddNotifier(&FSecond));
  EXPECT_FALSE(Services().AddNotifier(&FFirst)) << "added already";
  ASSERT_TRUE(CreateUnit());
  EXPECT_EQ(FHeard, (std::vector<std::string>{"first fn6 " + PathOf("Unit1.pas"),
                                              "second fn6 " + PathOf("Unit1.pas")}));
  EXPECT_TRUE(Services().RemoveNotifier(&FFirst));
  EXPECT_FALSE(Services().RemoveNotifier(&FFirst)) << "removed already";
  FHeard.clear();
  ASSERT_TRUE(CreateUnit());
  EXPECT_EQ(FHeard, (std::vector<std::string>{"second fn6 " + PathOf("Unit2.pas")}));
  Services().RemoveNotifier(&FSecond);
}

// An exception a notifier lets out stops at the host: the next notifier hears
// the event, the host's own call ends as it would, and the host reports it.
TEST_P(HostTest, ANotifierThatThrowsStopsNeitherTheOthersNorTheHost) {
  const struct {
    const char* Name;
    std::function<void()> Throw;
    const char* Reported;
  } kThrows[] = {
      {"a std::exception", [] { throw std::runtime_error("boom"); }, "boom"},
      {"anything else", [] { throw 42; }, "unknown exception"},
  };
  FEscapesExpected = true;
  Start({{"Main.pas", "unit Main;"}});
  Services().AddNotifier(&FFirst);
  Services().AddNotifier(&FSecond);
  size_t reported = 0;
  for (const auto& t : kThrows) {
    SCOPED_TRACE(t.Name);
    FHeard.clear();
    FFirst.OnCall = t.Throw;
    TInterfacePtr<TIModuleInterface> created = CreateUnit();
    EXPECT_TRUE(created) << "the host's call ends as it would";
    ASSERT_EQ(FHeard.size(), 2u);
    EXPECT_EQ(FHeard[1].substr(0, 10), "second fn6");
    const std::vector<std::string> escapes = FHost->Escapes();
    ASSERT_EQ(escapes.size(), ++reported);
    EXPECT_NE(escapes.back().find(t.Reported), std::string::npos) << escapes.back();
  }
  FFirst.OnCall = nullptr;
  Services().RemoveNotifier(&FFirst);
  Services().RemoveNotifier(&FSecond);
}

TEST_P(HostTest, ANotifierRemovedWhileTheOthersHearIsNotCalled) {
  Start({{"Main.pas", "unit Main;"}});
  Services().AddNotifier(&FFirst);
  Services().AddNotifier(&FSecond);
  FFirst.OnCall = [&] {
    Services().RemoveNotifier(&FSecond);
    Services().RemoveNotifier(&FFirst);
  };
  ASSERT_TRUE(CreateUnit());
  EXPECT_EQ(FHeard, (std::vector<std::string>{"first fn6 " + PathOf("Unit1.pas")}));
  FHeard.clear();
  ASSERT_TRUE(CreateUnit());
  EXPECT_TRUE(FHeard.empty());
}

TEST_P(HostTest, ASavedModuleIsToldToItsNotifiersGuarded) {
  Start({{"Main.pas", "unit Main;"}});
  TInterfacePtr<TIModuleInterface> module(Services().GetModuleInterface(PathOf("Main.pas")));
  ASSERT_TRUE(module);
  if (!Kind().ModuleNotifiers) {
    EXPECT_FALSE(module->AddNotifier(&FFirst)) << "this host's modules take no notifiers";
    return;
  }
  FEscapesExpected = true;
  ASSERT_TRUE(module->AddNotifier(&FFirst));
  ASSERT_TRUE(module->AddNotifier(&FSecond));
  EXPECT_FALSE(module->AddNotifier(&FFirst));
  FFirst.OnCall = [] { throw std::runtime_error("boom"); };
  ASSERT_TRUE(module->Save(true));
  EXPECT_EQ(FHeard, (std::vector<std::string>{"first nc7", "second nc7"}));
  ASSERT_EQ(FHost->Escapes().size(), 1u);
  EXPECT_NE(FHost->Escapes()[0].find("boom"), std::string::npos);
  EXPECT_TRUE(module->RemoveNotifier(&FFirst));
  EXPECT_TRUE(module->RemoveNotifier(&FSecond));
  FHeard.clear();
  ASSERT_TRUE(module->Save(true));
  EXPECT_TRUE(FHeard.empty());
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostTest, ::testing::ValuesIn(HostKinds()), TestName);

// --- A project that comes and goes (hosts whose THostKind::ClosesProjects) -------

class HostProjectTest : public THostKindFixture {};

// Removing a unit and closing the project tell the add-in notifiers first,
// then the notifiers of each module that goes.
TEST_P(HostProjectTest, RemovingAUnitAndClosingTheProjectAreTold) {
  Start({{"A.pas", "unit A;"}, {"B.pas", "unit B;"}});
  const std::string project = FHost->ProjectFile();
  Services().AddNotifier(&FFirst);
  {
    TInterfacePtr<TIModuleInterface> a(Services().GetModuleInterface(PathOf("A.pas")));
    TInterfacePtr<TIModuleInterface> b(Services().GetModuleInterface(PathOf("B.pas")));
    TInterfacePtr<TIModuleInterface> p(Services().GetModuleInterface(project));
    ASSERT_TRUE(a && b && p);
    a->AddNotifier(&FFirst);
    b->AddNotifier(&FSecond);
    p->AddNotifier(&FSecond);
  }
  ASSERT_TRUE(FHost->RemoveUnit(PathOf("a.PAS")));
  EXPECT_EQ(FHeard, (std::vector<std::string>{"first fn7 " + PathOf("A.pas"), "first nc0"}));
  FHeard.clear();
  ASSERT_TRUE(FHost->CloseProject());
  EXPECT_EQ(FHeard, (std::vector<std::string>{"first fn5 " + project, "second nc0", "second nc0"}));
  Services().RemoveNotifier(&FFirst);
}

std::vector<THostKind> KindsWhere(bool THostKind::*capability) {
  std::vector<THostKind> kinds = HostKinds();
  std::erase_if(kinds, [&](const THostKind& kind) { return !(kind.*capability); });
  return kinds;
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostProjectTest,
                         ::testing::ValuesIn(KindsWhere(&THostKind::ClosesProjects)), TestName);

// --- Plug-ins -------------------------------------------------------------------

std::vector<std::string> ReadLines(const std::string& fileName) {
  std::ifstream in(fileName);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct TPlugInRow {
  const char* Name;
  const char* Mode;                    // TestPlugIn.h
  bool Loaded;                         // what loading answers
  bool Registered;                     // whether the expert was registered
  std::vector<std::string> Unloading;  // what the plug-in writes down at unloading
  const char* Escape;                  // what the host reports, if anything
};

const std::vector<std::string> kWholeUnloading = {"terminate", "expert released", "unloaded"};

const TPlugInRow kPlugInRows[] = {
    {"AsItShould", "", true, true, kWholeUnloading, nullptr},
    {"EntryPointAnswersFalse", "refuse", false, true, kWholeUnloading, nullptr},
    {"EntryPointThrows", "throw-entry", false, false, {"unloaded"}, "entry failed"},
    {"TerminateThrows", "throw-terminate", true, true, kWholeUnloading, "terminate failed"},
    {"ExpertReleaseThrows", "throw-release", true, true, kWholeUnloading, "release failed"},
};

// The plug-in is told where to write down what happens, and how to behave.
class TPlugInEnvironment {
 public:
  TPlugInEnvironment(const std::string& log, const char* mode) {
    ::setenv(testing::kTestPlugInLog, log.c_str(), 1);
    ::setenv(testing::kTestPlugInMode, mode, 1);
  }
  ~TPlugInEnvironment() {
    ::unsetenv(testing::kTestPlugInLog);
    ::unsetenv(testing::kTestPlugInMode);
  }
};

void PrintTo(const TPlugInRow& row, std::ostream* os) {
  *os << row.Name;
}
using HostPlugInTest = THostRowFixture<TPlugInRow>;

// Loading calls the entry point once and keeps the expert; unloading runs the
// terminate routine, releases the expert (which gives back what it held) and
// closes the library, in that order, whatever the plug-in lets out.
TEST_P(HostPlugInTest, LoadsAndUnloadsAPlugIn) {
  const TPlugInRow& row = Row();
  FEscapesExpected = row.Escape != nullptr;
  Start({{"Main.pas", "unit Main;"}});
  const std::string log = PathOf("plugin.log");
  const TPlugInEnvironment environment(log, row.Mode);
  std::string error;
  EXPECT_EQ(FHost->LoadPlugIn(SCRIVLOCK_TEST_PLUGIN, error), row.Loaded) << error;
  EXPECT_EQ(error.empty(), row.Loaded) << error;
  std::vector<std::string> expected = {"loaded", "entry"};
  if (row.Registered) expected.push_back("registered");
  EXPECT_EQ(ReadLines(log), expected);
  EXPECT_EQ(FHost->ExpertCount(), row.Registered ? 1 : 0);
  EXPECT_EQ(FHost->HasMenuItem(testing::kTestPlugInMenuItem), row.Registered);
  EXPECT_EQ(FHost->AddInNotifierCount(), row.Registered ? 1 : 0);

  FHost->UnloadPlugIns();
  expected.insert(expected.end(), row.Unloading.begin(), row.Unloading.end());
  EXPECT_EQ(ReadLines(log), expected);
  EXPECT_EQ(FHost->ExpertCount(), 0);
  EXPECT_FALSE(FHost->HasMenuItem(testing::kTestPlugInMenuItem));
  EXPECT_EQ(FHost->AddInNotifierCount(), 0);
  const std::vector<std::string> escapes = FHost->Escapes();
  if (row.Escape) {
    ASSERT_EQ(escapes.size(), 1u);
    EXPECT_NE(escapes[0].find(row.Escape), std::string::npos) << escapes[0];
  }

  // Unloaded, it can be loaded again.
  if (row.Loaded) {
    EXPECT_TRUE(FHost->LoadPlugIn(SCRIVLOCK_TEST_PLUGIN, error)) << error;
    EXPECT_EQ(FHost->ExpertCount(), 1);
    FHost->UnloadPlugIns();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostPlugInTest,
    ::testing::Combine(::testing::ValuesIn(KindsWhere(&THostKind::LoadsPlugIns)),
                       ::testing::ValuesIn(kPlugInRows)),
    TRowTestName());

class HostPlugInLoadTest : public THostKindFixture {};

TEST_P(HostPlugInLoadTest, RefusesALibraryItCannotOpenOrThatHasNoEntryPoint) {
  Start({{"Main.pas", "unit Main;"}});
  const std::string log = PathOf("plugin.log");
  const TPlugInEnvironment environment(log, "");
  std::string error;
  EXPECT_FALSE(FHost->LoadPlugIn(PathOf("libnothing.so"), error));
  EXPECT_NE(error.find("libnothing.so"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(FHost->LoadPlugIn(SCRIVLOCK_TEST_PLUGIN_NOENTRY, error));
  EXPECT_NE(error.find("INITEXPERT0017"), std::string::npos) << error;
  EXPECT_EQ(ReadLines(log), (std::vector<std::string>{"loaded", "unloaded"}))
      << "closed again at once";
  EXPECT_EQ(FHost->ExpertCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostPlugInLoadTest,
                         ::testing::ValuesIn(KindsWhere(&THostKind::LoadsPlugIns)), TestName);

}  // namespace
}  // namespace scrivlock::hosts::conformance
