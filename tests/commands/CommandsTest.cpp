#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

#include "commands/Commands.h"
#include "commands/Messages.h"
#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolServices.h"
#include "source/SourceClass.h"
#include "support/MemoryHost.h"

namespace scrivlock::commands {
namespace {

using hosts::TMemoryHost;

const std::string kUnitText =
    "unit Main;\r\n"
    "// the main unit\r\n"
    "interface\r\n"
    "{ exported }\r\n"
    "procedure Run; (* runs it *)\r\n"
    "implementation\r\n"
    "{$R *.res}\r\n"
    "procedure Run;\r\n"
    "begin\r\n"
    "  Writeln('// not a comment { either }');\r\n"
    "end;\r\n"
    "end.\r\n";

const std::string kMain = "/p/Main.pas";
const std::string kOther = "/p/Other.pas";
const std::string kNewUnit = "/p/Unit1.pas";  // the first name the host proposes

// Records what the commands do to the window: button changes, messages and
// file deletions, in order.
class TRecordingSite : public TCommandSite {
 public:
  std::vector<std::string> Buttons;
  std::vector<std::string> Messages;
  std::vector<std::string> Deleted;
  bool ThrowOnMessage = false;

  void SetButtonEnabled(TCommandButton button, bool enabled) noexcept override {
    Buttons.push_back(std::string(enabled ? "enable " : "disable ") +
                      (button == cbUnComment ? "Uncomment" : "Re-Comment"));
  }
  void ShowMessage(const std::string& text) override {
    Messages.push_back(text);
    if (ThrowOnMessage) throw std::runtime_error("message box failed");
  }
  bool DeleteModuleFile(const std::string& fileName) override {
    Deleted.push_back(fileName);
    return true;
  }
  // The places of messages about one, as "file(line,column)".
  std::vector<std::string> Places;
  void ShowMessageAt(const std::string& text, const TTextPlace& place) override {
    Places.push_back(place.FileName + "(" + std::to_string(place.Line) + "," +
                     std::to_string(place.Column) + ")");
    ShowMessage(text);
  }
};

class TCommandsTest : public ::testing::Test {
 public:
  TCommandsTest() : FScope(FHost.ToolServices()) { FHost.OpenProject("/p/Project1.dpr"); }

  void TearDown() override {
    EXPECT_EQ(FHost.LiveInterfaces(), 0) << "an interface was not released";
    EXPECT_TRUE(FHost.ReferenceFaults().empty()) << FHost.ReferenceFaults().front();
  }

  void AddUnit(const std::string& fileName, const std::string& text) {
    ASSERT_TRUE(FHost.AddUnit(fileName, text));
    FUnits.Add(fileName);
  }
  std::string TextOf(const std::string& fileName) {
    return FHost.Text(fileName).value_or("<no buffer>");
  }
  bool IsModuleOf(const std::string& fileName, const std::string& unitName) {
    TByteStream text(TextOf(fileName));
    return source::TSourceClass().IsModuleOf(text, unitName);
  }
  // Uncomments Main and lists its module, as the window would on the host's
  // notification.
  void UncommentMain() {
    AddUnit(kMain, kUnitText);
    ASSERT_TRUE(UnCommentUnit(FSite, FUnits, kMain)) << FSite.Messages.front();
    FUnits.Add(kNewUnit);
    FSite = {};
  }

  TMemoryHost FHost;
  hostintf::TToolServicesScope FScope;
  TUnitFileList FUnits;
  TRecordingSite FSite;
};

// --- Reading and writing buffers ---------------------------------------------

TEST_F(TCommandsTest, ReadModuleTextDeliversChunksAsTheLimitSays) {
  struct TCase {
    size_t Length;
    int32_t Limit;
    int64_t Result;
    size_t StreamSize;
  };
  const TCase cases[] = {
      {0, clWhole, 0, 0},
      {1, clWhole, 1, 1},
      {8091, clWhole, 8091, 8091},
      {8092, clWhole, 8092, 8092},  // the second read delivers 0
      {8093, clWhole, 8093, 8093},
      {20000, clWhole, 20000, 20000},
      {20000, clFirstChunk, 8092, 8092},
      {8092, clFirstChunk, 8092, 8092},
      {100, clFirstChunk, 100, 100},
      {20000, clCountOnly, 20000, 0},
      {16184, clCountOnly, 16184, 0},
  };
  for (const TCase& c : cases) {
    std::string text(c.Length, 'x');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    FHost.SetText("/p/Project1.dpr", text);
    TByteStream stream;
    EXPECT_EQ(ReadModuleText("/p/project1.DPR", &stream, c.Limit), c.Result)
        << c.Length << " " << c.Limit;
    EXPECT_EQ(stream.View(), std::string_view(text).substr(0, c.StreamSize))
        << c.Length << " " << c.Limit;
  }
}

TEST_F(TCommandsTest, ReadModuleTextSizesTheStreamOnceByTheHostsHintAndReadsTheTextWhateverItSays) {
  std::string text(100000, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  FHost.SetText("/p/Project1.dpr", text);
  struct TCase {
    const char* Name;
    std::optional<int64_t> Hint;  // none: the host tells the truth
  };
  const TCase cases[] = {
      {"the true length", std::nullopt},
      {"too small", 9000},
      {"too large", 300000},
      {"none", -1},
      {"zero", 0},
      {"beyond any stream", int64_t{1} << 40},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    FHost.Faults().TextLengths.clear();
    if (c.Hint) FHost.Faults().TextLengths = {{"/p/Project1.dpr", *c.Hint}};
    TByteStream stream;
    EXPECT_EQ(ReadModuleText("/p/Project1.dpr", &stream, clWhole), 100000);
    EXPECT_EQ(stream.View(), text);
    EXPECT_EQ(stream.Position(), 100000);
    if (!c.Hint) {
      // Grown chunk by chunk, the stream would hold 129472 bytes or more.
      EXPECT_LE(stream.Capacity(), static_cast<int64_t>(text.size()) + ReadChunkSize);
    }
  }
  // A stream that already holds more is overwritten from 0 and keeps its tail.
  FHost.Faults().TextLengths.clear();
  TByteStream longer(std::string(100010, '#'));
  EXPECT_EQ(ReadModuleText("/p/Project1.dpr", &longer, clWhole), 100000);
  EXPECT_EQ(longer.View(), text + std::string(10, '#'));
}

// A text this long has its memory backed by a second thread while it is read;
// that must leave every byte as read, also when the host's length is wrong
// and the stream grows under way.
TEST_F(TCommandsTest, ReadModuleTextOfALongTextDeliversEveryByte) {
  std::string text(size_t{24} << 20, ' ');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 23);
  FHost.SetText("/p/Project1.dpr", text);
  const std::optional<int64_t> hints[] = {std::nullopt, int64_t{17} << 20, int64_t{40} << 20};
  for (const std::optional<int64_t>& hint : hints) {
    SCOPED_TRACE(hint.value_or(-1));
    FHost.Faults().TextLengths.clear();
    if (hint) FHost.Faults().TextLengths = {{"/p/Project1.dpr", *hint}};
    TByteStream stream;
    EXPECT_EQ(ReadModuleText("/p/Project1.dpr", &stream, clWhole),
              static_cast<int64_t>(text.size()));
    EXPECT_TRUE(stream.View() == text);
  }
  // Uncomment reads a unit in pieces: the same holds, and a zero byte far on
  // is found where it stands.
  FHost.Faults().TextLengths.clear();
  text[(size_t{20} << 20) + 3] = '\0';
  AddUnit(kMain, text);
  EXPECT_FALSE(UnCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgZeroByte(kMain, (int64_t{20} << 20) + 3)});
}

TEST_F(TCommandsTest, ReadModuleTextAnswersZeroOnEveryFailure) {
  AddUnit(kMain, kUnitText);
  TByteStream stream;
  EXPECT_EQ(ReadModuleText(kMain, nullptr, clWhole), 0);
  EXPECT_EQ(ReadModuleText("/p/Missing.pas", &stream, clWhole), 0);

  FHost.Faults().NoReaders = {kMain};
  EXPECT_EQ(ReadModuleText(kMain, &stream, clWhole), 0);
  FHost.Faults().NoReaders.clear();

  FHost.Faults().FailingReaders = {kMain};
  EXPECT_EQ(ReadModuleText(kMain, &stream, clWhole), 0);
  FHost.Faults().FailingReaders.clear();

  FHost.Faults().MissingModules = {kMain};
  EXPECT_EQ(ReadModuleText(kMain, &stream, clWhole), 0);
  FHost.Faults().MissingModules.clear();

  hostintf::TToolServicesScope noHost(nullptr);
  EXPECT_EQ(ReadModuleText(kMain, &stream, clWhole), 0);
}

TEST_F(TCommandsTest, WriteModuleTextLeavesExactlyTheNewText) {
  const std::string longText(8092 * 2 + 5, 'o');
  const std::pair<std::string, std::string> cases[] = {
      {"old text", "new"},    {"old", "a longer new text"}, {"", "into an empty buffer"},
      {"all of it goes", ""}, {longText, "short"},          {"x", longText},
  };
  for (const auto& [before, after] : cases) {
    FHost.SetText("/p/Project1.dpr", before);
    TByteStream stream(after);
    WriteModuleText("/p/Project1.dpr", &stream);
    EXPECT_EQ(TextOf("/p/Project1.dpr"), after) << "was " << before.size() << " bytes";
  }
}

TEST_F(TCommandsTest, WriteModuleTextStopsAtAZeroByteAndChangesNothingWithoutAModule) {
  AddUnit(kMain, "old");
  TByteStream withZero(std::string("new\0tail", 8));
  WriteModuleText(kMain, &withZero);
  EXPECT_EQ(TextOf(kMain), "new");

  TByteStream stream("text");
  WriteModuleText("/p/Missing.pas", &stream);
  FHost.Faults().FailingWriters = {kMain};
  WriteModuleText(kMain, &stream);
  EXPECT_EQ(TextOf(kMain), "new");
}

// --- Finding commenting modules ------------------------------------------------

TEST_F(TCommandsTest, FindCommentingModulesCountsAndNamesTheOnlyOne) {
  UncommentMain();
  AddUnit(kOther, "unit Other;\r\nend.\r\n");
  std::vector<int> readsBefore;
  for (const std::string& unit : FUnits.Items()) readsBefore.push_back(FHost.ReaderCount(unit));
  std::string moduleFile = "stale";
  EXPECT_EQ(FindCommentingModules(kMain, FUnits, moduleFile), 1);
  EXPECT_EQ(moduleFile, kNewUnit);
  // Every listed unit is read once, the unit itself included.
  for (int i = 0; i < FUnits.Count(); ++i) {
    EXPECT_EQ(FHost.ReaderCount(FUnits[i]), readsBefore[static_cast<size_t>(i)] + 1) << FUnits[i];
  }

  EXPECT_EQ(FindCommentingModules(kOther, FUnits, moduleFile), 0);
  EXPECT_EQ(moduleFile, "");

  // The module test compares the name and extension, not the folder.
  EXPECT_EQ(FindCommentingModules("C:\\elsewhere\\Main.pas", FUnits, moduleFile), 1);

  // A second copy of the module: two, and no name.
  AddUnit("/p/Copy.pas", TextOf(kNewUnit));
  EXPECT_EQ(FindCommentingModules(kMain, FUnits, moduleFile), 2);
  EXPECT_EQ(moduleFile, "");

  // A unit whose text the host cannot supply is no module.
  FHost.Faults().FailingReaders = {"/p/copy.pas"};
  EXPECT_EQ(FindCommentingModules(kMain, FUnits, moduleFile), 1);
  EXPECT_EQ(moduleFile, kNewUnit);
}

TEST_F(TCommandsTest, FindCommentingModulesLooksOnlyAtTheFirstChunk) {
  UncommentMain();
  FHost.SetText(kNewUnit, std::string(8092, ' ') + TextOf(kNewUnit));
  std::string moduleFile;
  EXPECT_EQ(FindCommentingModules(kMain, FUnits, moduleFile), 0);
}

// --- Uncomment and Re-Comment ----------------------------------------------------

TEST_F(TCommandsTest, UncommentThenReCommentGivesTheUnitBack) {
  AddUnit(kMain, kUnitText);
  ASSERT_TRUE(CommBtnsClick(FSite, cbUnComment, FUnits, "Main.pas", 0));
  EXPECT_TRUE(FSite.Messages.empty());
  EXPECT_EQ(FSite.Buttons, (std::vector<std::string>{"disable Re-Comment", "disable Uncomment",
                                                     "enable Re-Comment", "enable Uncomment"}));

  const std::string stripped = TextOf(kMain);
  EXPECT_NE(stripped.find("{#1}"), std::string::npos);
  EXPECT_EQ(stripped.find("the main unit"), std::string::npos);
  EXPECT_NE(stripped.find("'// not a comment { either }'"), std::string::npos);
  EXPECT_NE(stripped.find("{$R *.res}"), std::string::npos);
  EXPECT_TRUE(FHost.Modified(kMain));

  EXPECT_EQ(FHost.UnitFiles(), (std::vector<std::string>{kMain, kNewUnit}));
  EXPECT_TRUE(IsModuleOf(kNewUnit, "Main.pas"));
  EXPECT_EQ(TextOf(kNewUnit).rfind("Unit Unit1;", 0), 0u);
  EXPECT_TRUE(FHost.Modified(kNewUnit));
  EXPECT_EQ(FHost.Highlighter(kNewUnit), hostintf::shNone);

  FUnits.Add(kNewUnit);
  FSite = {};
  ASSERT_TRUE(CommBtnsClick(FSite, cbReComment, FUnits, "Main.pas", 0));
  EXPECT_TRUE(FSite.Messages.empty());
  EXPECT_EQ(FSite.Buttons, (std::vector<std::string>{"disable Uncomment", "disable Re-Comment",
                                                     "enable Uncomment", "enable Re-Comment"}));
  EXPECT_EQ(TextOf(kMain), kUnitText);
  EXPECT_EQ(FSite.Deleted, std::vector<std::string>{kNewUnit});
  EXPECT_TRUE(FHost.Closed(kNewUnit));
  EXPECT_EQ(FHost.UnitFiles(),
            (std::vector<std::string>{kMain, kNewUnit}));  // still in the project
}

TEST_F(TCommandsTest, RefusalsShowTheirMessageAndChangeNothing) {
  struct TCase {
    const char* Name;
    TCommandButton Button;
    std::function<int(TCommandsTest&)> Setup;  // answers the chosen index
    std::string Message;
  };
  const TCase cases[] = {
      {"M2 one module", cbUnComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         return 0;
       },
       MsgAlreadyUncommented(kMain, kNewUnit)},
      {"M2 two modules", cbUnComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         t.AddUnit("/p/Copy.pas", t.TextOf(kNewUnit));
         return 0;
       },
       "Unit /p/Main.pas is already uncommented.\r\nCorresponding comments contained in module: "},
      {"M3 Uncomment", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit(kMain, kUnitText);
         t.FHost.Faults().FailingReaders = {kMain};
         return 0;
       },
       "Cannot read unit: \r\n/p/Main.pas"},
      {"M3 Re-Comment", cbReComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         t.FHost.Faults().MissingModules = {kMain};
         return 0;
       },
       MsgCannotRead(kMain)},
      {"M4 the module itself", cbUnComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         return 1;
       },
       MsgNotUncommentable(kNewUnit)},
      // M4 would say of these that they carry the mark, which they do not.
      {"an include file", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit("/p/Main.inc", kUnitText);
         return 0;
       },
       "Unit: /p/Main.inc\r\n cannot be uncommented: it is not a unit. Only files whose names "
       "end in \".pas\" or \".pp\" are units."},
      {"a program", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit("/p/Main.lpr", kUnitText);
         return 0;
       },
       MsgNotPascalUnit("/p/Main.lpr")},
      {"a blank in the file name", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit("/p/My Main.pas", kUnitText);
         return 0;
       },
       "Unit: /p/My Main.pas\r\n cannot be uncommented: its file name holds a character (such "
       "as a blank or a comma) that a commenting module cannot record, so its comments could "
       "never be found again.\r\nRename the unit first."},
      {"a comma in the file name", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit("/p/Main,2.pas", kUnitText);
         return 0;
       },
       MsgUnrecordableName("/p/Main,2.pas")},
      // M3 would say that it cannot be read, yet it was.
      {"an empty unit, Uncomment", cbUnComment,
       [](TCommandsTest& t) {
         t.AddUnit(kMain, "");
         return 0;
       },
       "Unit /p/Main.pas is empty.\r\nThere is nothing to uncomment or re-comment."},
      {"an empty unit, Re-Comment", cbReComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         t.FHost.SetText(kMain, "");
         return 0;
       },
       MsgEmptyUnit(kMain)},
      {"M5", cbReComment,
       [](TCommandsTest& t) {
         t.UncommentMain();
         t.AddUnit("/p/Copy.pas", t.TextOf(kNewUnit));
         return 0;
       },
       "Error. Unit /p/Main.pas has 2 commenting modules.\r\nOnly one commenting module per unit "
       "accepted!"},
      {"M6", cbReComment,
       [](TCommandsTest& t) {
         t.AddUnit(kMain, kUnitText);
         return 0;
       },
       "Error. Unit /p/Main.pas has no commenting module."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TCommandsTest& t = *this;
    t.FHost.CloseProject();
    t.FHost.OpenProject("/p/Project1.dpr");
    t.FHost.Faults() = {};
    t.FUnits.Clear();
    const int chosen = c.Setup(t);
    t.FSite = {};
    const std::vector<std::string> before = {TextOf(t.FUnits[0]), TextOf(kNewUnit)};
    EXPECT_FALSE(CommBtnsClick(t.FSite, c.Button, t.FUnits, "x", chosen));
    EXPECT_EQ(t.FSite.Messages, std::vector<std::string>{c.Message});
    EXPECT_EQ(before, (std::vector<std::string>{TextOf(t.FUnits[0]), TextOf(kNewUnit)}));
    EXPECT_TRUE(t.FSite.Deleted.empty());
    ASSERT_EQ(t.FSite.Buttons.size(), 4u);
    EXPECT_EQ(t.FSite.Buttons[3].rfind("enable", 0), 0u);
  }
}

// Every reason of UnComment has its own message, and only the mark gets M4.
TEST(UnCommentRefusalMessageTest, SaysWhatTheReasonIs) {
  const std::string unit = "/p/Main.pas";
  const std::pair<source::TUnCommentRefusal, std::string> cases[] = {
      {source::urExtension, MsgNotPascalUnit(unit)},
      {source::urFileName, MsgUnrecordableName(unit)},
      {source::urNotUncommentable, "Unit: /p/Main.pas\r\n is marked as not uncommentable."},
      {source::urTooLarge,
       "Error. Unit /p/Main.pas is too large to uncomment:\r\nits text without comments or its "
       "commenting module would pass 2 GB. Nothing was changed."},
      {source::urFailure,
       "Error. Unit /p/Main.pas could not be uncommented: its texts could not be made.\r\n"
       "Nothing was changed."},
  };
  for (const auto& [reason, message] : cases) {
    EXPECT_EQ(UnCommentRefusalMessage(reason, unit), message) << int(reason);
  }
}

TEST_F(TCommandsTest, NoChosenUnitShowsM1OrNothing) {
  AddUnit(kMain, kUnitText);
  for (TCommandButton button : {cbUnComment, cbReComment}) {
    FSite = {};
    EXPECT_FALSE(CommBtnsClick(FSite, button, FUnits, "", 0));
    EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgSelectUnit});
    EXPECT_EQ(std::string(MsgSelectUnit),
              "Please select the unit to uncomment\r\nUsing the list below");
    FSite = {};
    EXPECT_FALSE(CommBtnsClick(FSite, button, FUnits, "Main.pas", -1));
    EXPECT_TRUE(FSite.Messages.empty());
    EXPECT_TRUE(FSite.Buttons.empty());
  }
  EXPECT_EQ(TextOf(kMain), kUnitText);
}

// --- What the commands add to keep every comment ---------------------------------

TEST_F(TCommandsTest, UncommentLeavesTheUnitAloneWhenTheModuleCannotBeMade) {
  AddUnit(kMain, kUnitText);
  FHost.Faults().FailCreateModule = true;
  EXPECT_FALSE(UnCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgCannotCreateModule(kMain)});
  EXPECT_EQ(TextOf(kMain), kUnitText);
  EXPECT_FALSE(FHost.Modified(kMain));

  FHost.Faults() = {};
  FHost.Faults().FailingWriters = {kNewUnit};
  FSite = {};
  EXPECT_FALSE(UnCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgCannotFillModule(kMain, kNewUnit)});
  EXPECT_EQ(TextOf(kMain), kUnitText);
}

TEST_F(TCommandsTest, UncommentNamesTheModuleAfterTheUnitTheHostReallyMade) {
  AddUnit(kMain, kUnitText);
  FHost.Faults().CreatedModuleName = "/p/Comments7.pas";
  ASSERT_TRUE(UnCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(TextOf("/p/Comments7.pas").rfind("Unit Comments7;", 0), 0u);
  EXPECT_TRUE(IsModuleOf("/p/Comments7.pas", "Main.pas"));
  EXPECT_FALSE(FHost.HasBuffer(kNewUnit));

  FUnits.Add("/p/Comments7.pas");
  ASSERT_TRUE(ReCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(TextOf(kMain), kUnitText);
}

TEST_F(TCommandsTest, AZeroByteIsRefusedBeforeAnythingIsWritten) {
  // Zero bytes are found piece by piece as the unit is read: in the first
  // piece, at either side of a piece's end, and further on.
  constexpr size_t kPiece = ReadPieceSize;
  for (const size_t at : {size_t{20}, kPiece - 1, kPiece, kPiece + 20000}) {
    std::string withZero = kUnitText + std::string(kPiece + 20100, ' ');
    withZero.insert(at, 1, '\0');
    withZero.insert(at + 5, 1, '\0');  // only the first counts
    FHost.RemoveUnit(kMain);
    FUnits.Clear();
    FSite = {};
    AddUnit(kMain, withZero);
    EXPECT_FALSE(UnCommentUnit(FSite, FUnits, kMain));
    EXPECT_EQ(FSite.Messages,
              std::vector<std::string>{MsgZeroByte(kMain, static_cast<int64_t>(at))});
    const std::string before = withZero.substr(0, at);
    EXPECT_EQ(FSite.Places,
              std::vector<std::string>{
                  kMain + "(" + std::to_string(1 + std::count(before.begin(), before.end(), '\n')) +
                  "," + std::to_string(at - before.rfind('\n')) + ")"});
    EXPECT_EQ(TextOf(kMain), withZero);
    EXPECT_EQ(FHost.UnitFiles(), std::vector<std::string>{kMain});
  }

  // The same for Re-Comment, when the uncommented unit gained a zero byte.
  FHost.RemoveUnit(kMain);
  FUnits.Clear();
  FSite = {};
  UncommentMain();
  FHost.SetText(kMain, TextOf(kMain) + std::string(1, '\0'));
  const std::string before = TextOf(kMain);
  EXPECT_FALSE(ReCommentUnit(FSite, FUnits, kMain));
  ASSERT_EQ(FSite.Messages.size(), 1u);
  EXPECT_EQ(FSite.Messages[0].rfind("Error. /p/Main.pas holds a zero byte", 0), 0u);
  EXPECT_EQ(TextOf(kMain), before);
  EXPECT_TRUE(FSite.Deleted.empty());

  // A zero byte in a comment text of the module would come into the unit.
  FHost.SetText(kMain, before.substr(0, before.size() - 1));
  std::string module = TextOf(kNewUnit);
  const size_t text = module.find(" the main unit");
  ASSERT_NE(text, std::string::npos);
  module[text] = '\0';
  FHost.SetText(kNewUnit, module);
  FSite = {};
  EXPECT_FALSE(ReCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages,
            std::vector<std::string>{MsgZeroByte(kNewUnit, kUnitText.find(" the main unit"))});
  EXPECT_EQ(TextOf(kMain), before.substr(0, before.size() - 1));
  EXPECT_EQ(TextOf(kNewUnit), module);
  EXPECT_TRUE(FSite.Deleted.empty());
}

TEST_F(TCommandsTest, AStoppedRestorationTellsWhereAndChangesNothing) {
  UncommentMain();
  std::string edited = TextOf(kMain);
  const size_t marker = edited.find("{#2}");
  ASSERT_NE(marker, std::string::npos);
  edited.replace(marker, 4, "{#3}");
  FHost.SetText(kMain, edited);
  const std::string module = TextOf(kNewUnit);

  EXPECT_FALSE(ReCommentUnit(FSite, FUnits, kMain));
  ASSERT_EQ(FSite.Messages.size(), 1u);
  const std::string& message = FSite.Messages[0];
  EXPECT_EQ(message.rfind(
                "Error. Unit /p/Main.pas cannot be re-commented from module /p/Unit1.pas:\r\n", 0),
            0u)
      << message;
  EXPECT_NE(message.find("marker {#3}"), std::string::npos) << message;
  EXPECT_NE(message.find("entry 2"), std::string::npos) << message;
  // The marker's line and column, for an editor to jump to.
  const std::string before = edited.substr(0, marker);
  const size_t line = 1 + static_cast<size_t>(std::count(before.begin(), before.end(), '\n'));
  const size_t column = marker - before.rfind('\n');
  EXPECT_EQ(FSite.Places, std::vector<std::string>{"/p/Main.pas(" + std::to_string(line) + "," +
                                                   std::to_string(column) + ")"});
  EXPECT_EQ(TextOf(kMain), edited);
  EXPECT_EQ(TextOf(kNewUnit), module);
  EXPECT_TRUE(FSite.Deleted.empty());
  EXPECT_FALSE(FHost.Closed(kNewUnit));
}

// A kill between the module's creation and the unit's rewrite leaves the unit
// with all its comments beside its module: both commands say what the module
// is, rather than that the unit is uncommented or its markers do not match.
TEST_F(TCommandsTest, ALeftOverModuleIsNamedAsSuch) {
  UncommentMain();
  FHost.SetText(kMain, kUnitText);
  const std::string module = TextOf(kNewUnit);
  for (const bool uncomment : {true, false}) {
    SCOPED_TRACE(uncomment ? "Uncomment" : "Re-Comment");
    FSite = {};
    EXPECT_FALSE(uncomment ? UnCommentUnit(FSite, FUnits, kMain)
                           : ReCommentUnit(FSite, FUnits, kMain));
    EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgStaleModule(kMain, kNewUnit)});
    EXPECT_EQ(TextOf(kMain), kUnitText);
    EXPECT_EQ(TextOf(kNewUnit), module);
    EXPECT_TRUE(FSite.Deleted.empty());
  }
}

// The in-memory host seen through a host whose reader of one file fails after
// its first chunk: the commands find that file's module header, then cannot
// read the rest.
class TFirstChunkOnlyServices : public hostintf::TIToolServices {
 public:
  TFirstChunkOnlyServices(hostintf::TIToolServices& inner, std::string fileName)
      : FInner(inner), FFileName(std::move(fileName)) {}

  hostintf::TIModuleInterface* GetModuleInterface(const std::string& fileName) override {
    hostintf::TIModuleInterface* module = FInner.GetModuleInterface(fileName);
    return module && fileName == FFileName ? new TModule(module) : module;
  }
  intptr_t GetParentHandle() override { return FInner.GetParentHandle(); }
  int32_t GetUnitCount() override { return FInner.GetUnitCount(); }
  std::string GetUnitName(int32_t index) override { return FInner.GetUnitName(index); }
  bool EnumProjectUnits(hostintf::TProjectEnumProc proc, void* param) override {
    return FInner.EnumProjectUnits(proc, param);
  }
  std::string GetProjectName() override { return FInner.GetProjectName(); }
  bool GetNewModuleName(std::string& ident, std::string& fileName) override {
    return FInner.GetNewModuleName(ident, fileName);
  }
  hostintf::TIModuleInterface* CreateModuleEx(const std::string& a, const std::string& b,
                                              const std::string& c, const std::string& d,
                                              const TByteStream* source, const TByteStream* form,
                                              hostintf::TCreateModuleFlags flags) override {
    return FInner.CreateModuleEx(a, b, c, d, source, form, flags);
  }
  hostintf::TIMainMenuIntf* GetMainMenu() override { return FInner.GetMainMenu(); }
  bool AddNotifier(hostintf::TIAddInNotifier* n) override { return FInner.AddNotifier(n); }
  bool RemoveNotifier(hostintf::TIAddInNotifier* n) override { return FInner.RemoveNotifier(n); }
  void RaiseException(const std::string& message) override { FInner.RaiseException(message); }

 private:
  template <class T>
  using TPtr = hostintf::TInterfacePtr<T>;

  class TReader : public hostintf::TIEditReader {
   public:
    explicit TReader(hostintf::TIEditReader* inner) : FInner(inner) {}
    int32_t GetText(int32_t position, char* buffer, int32_t count) override {
      if (position >= ReadChunkSize) throw std::runtime_error("the editor went away");
      return FInner->GetText(position, buffer, count);
    }
    TPtr<hostintf::TIEditReader> FInner;
  };
  class TEditor : public hostintf::TIEditorInterface {
   public:
    explicit TEditor(hostintf::TIEditorInterface* inner) : FInner(inner) {}
    hostintf::TIEditReader* CreateReader() override {
      hostintf::TIEditReader* reader = FInner->CreateReader();
      return reader ? new TReader(reader) : nullptr;
    }
    hostintf::TIEditWriter* CreateWriter() override { return FInner->CreateWriter(); }
    std::string FileName() override { return FInner->FileName(); }
    bool BufferModified() override { return FInner->BufferModified(); }
    hostintf::TSyntaxHighlighter SetSyntaxHighlighter(hostintf::TSyntaxHighlighter h) override {
      return FInner->SetSyntaxHighlighter(h);
    }
    TPtr<hostintf::TIEditorInterface> FInner;
  };
  class TModule : public hostintf::TIModuleInterface {
   public:
    explicit TModule(hostintf::TIModuleInterface* inner) : FInner(inner) {}
    hostintf::TIEditorInterface* GetEditorInterface() override {
      hostintf::TIEditorInterface* editor = FInner->GetEditorInterface();
      return editor ? new TEditor(editor) : nullptr;
    }
    bool Close() override { return FInner->Close(); }
    bool Save(bool forceSave) override { return FInner->Save(forceSave); }
    bool IsProjectModule() override { return FInner->IsProjectModule(); }
    bool AddNotifier(hostintf::TIModuleNotifier* n) override { return FInner->AddNotifier(n); }
    bool RemoveNotifier(hostintf::TIModuleNotifier* n) override {
      return FInner->RemoveNotifier(n);
    }
    TPtr<hostintf::TIModuleInterface> FInner;
  };

  hostintf::TIToolServices& FInner;
  std::string FFileName;
};

TEST_F(TCommandsTest, ACommentingModuleThatCannotBeReadIsSaidToBeSo) {
  // A comment of more than a chunk: the module's header is in its first chunk,
  // the rest of it beyond.
  const std::string unitText =
      "unit Main;\r\n{" + std::string(10000, 'c') + "}\r\ninterface\r\nimplementation\r\nend.\r\n";
  AddUnit(kMain, unitText);
  ASSERT_TRUE(UnCommentUnit(FSite, FUnits, kMain));
  FUnits.Add(kNewUnit);
  const std::string stripped = TextOf(kMain), module = TextOf(kNewUnit);
  ASSERT_GT(module.size(), size_t{ReadChunkSize});

  TFirstChunkOnlyServices services(*FHost.ToolServices(), kNewUnit);
  hostintf::TToolServicesScope scope(&services);
  FSite = {};
  EXPECT_FALSE(ReCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages,
            std::vector<std::string>{"Error. The commenting module /p/Unit1.pas of unit "
                                     "/p/Main.pas cannot be read.\r\nNothing was changed."});
  EXPECT_EQ(TextOf(kMain), stripped);
  EXPECT_EQ(TextOf(kNewUnit), module);
  EXPECT_TRUE(FSite.Deleted.empty());
}

TEST_F(TCommandsTest, ReCommentKeepsTheModuleWhenTheUnitCannotBeRewritten) {
  UncommentMain();
  const std::string stripped = TextOf(kMain);
  FHost.Faults().FailingWriters = {kMain};
  EXPECT_FALSE(ReCommentUnit(FSite, FUnits, kMain));
  EXPECT_EQ(FSite.Messages, std::vector<std::string>{MsgUnitNotRestored(kMain, kNewUnit)});
  EXPECT_EQ(TextOf(kMain), stripped);
  EXPECT_TRUE(FSite.Deleted.empty());
}

// The commands read each buffer back after writing it and compare it, chunk by
// chunk, with what they wrote: any change the host made is caught, at any
// place of a text of several chunks.
TEST_F(TCommandsTest, EveryChangeTheHostMakesToAWrittenTextIsCaught) {
  // One comment of 20000 characters: a module and a unit of about 20 KB.
  const std::string unitText =
      "unit Main;\r\n{" + std::string(20000, 'c') + "}\r\ninterface\r\nimplementation\r\nend.\r\n";
  struct TCase {
    const char* Name;
    std::function<void(std::string&)> Alter;  // none: the host keeps the text
  };
  const TCase cases[] = {
      {"kept", nullptr},
      {"last character dropped", [](std::string& t) { t.pop_back(); }},
      {"a character added", [](std::string& t) { t.push_back(' '); }},
      {"last character changed", [](std::string& t) { t.back() ^= 1; }},
      {"first character of the second chunk changed",
       [](std::string& t) { t[ReadChunkSize] ^= 1; }},
      {"cut after the second chunk", [](std::string& t) { t.resize(2 * ReadChunkSize); }},
      {"one chunk more", [](std::string& t) { t.append(ReadChunkSize, ' '); }},
  };
  for (const bool uncomment : {true, false}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(std::string(uncomment ? "Uncomment, " : "Re-Comment, ") + c.Name);
      FHost.CloseProject();
      FHost.OpenProject("/p/Project1.dpr");
      FHost.Faults() = {};
      FUnits.Clear();
      AddUnit(kMain, unitText);
      if (!uncomment) {
        ASSERT_TRUE(UnCommentUnit(FSite, FUnits, kMain));
        FUnits.Add(kNewUnit);
      }
      // Uncomment's first check is the module's; Re-Comment's the unit's.
      const std::string altered = uncomment ? kNewUnit : kMain;
      const std::string before = TextOf(kMain);
      if (c.Alter) {
        FHost.Faults().AlterWrittenText = [&](const std::string& fileName, std::string& text) {
          if (fileName == altered) c.Alter(text);
        };
      }
      FSite = {};
      const bool done =
          uncomment ? UnCommentUnit(FSite, FUnits, kMain) : ReCommentUnit(FSite, FUnits, kMain);
      if (!c.Alter) {
        EXPECT_TRUE(done);
        EXPECT_TRUE(FSite.Messages.empty());
        continue;
      }
      EXPECT_FALSE(done);
      EXPECT_EQ(FSite.Messages,
                std::vector<std::string>{uncomment ? MsgCannotFillModule(kMain, kNewUnit)
                                                   : MsgUnitNotRestored(kMain, kNewUnit)});
      if (uncomment) {
        EXPECT_EQ(TextOf(kMain), before) << "the unit keeps its comments";
      }
      EXPECT_TRUE(FSite.Deleted.empty());
    }
  }
}

TEST_F(TCommandsTest, AFailingMessageBoxStillLeavesTheButtonsEnabled) {
  AddUnit(kMain, kUnitText);
  FSite.ThrowOnMessage = true;
  EXPECT_THROW(ReCommentUnit(FSite, FUnits, kMain), std::runtime_error);
  EXPECT_EQ(FSite.Buttons, (std::vector<std::string>{"disable Uncomment", "disable Re-Comment",
                                                     "enable Uncomment", "enable Re-Comment"}));
}

}  // namespace
}  // namespace scrivlock::commands

// --- Project settings ----------------------------------------------------------

namespace scrivlock::commands {
namespace {

TEST_F(TCommandsTest, UncommentReadsCommentsAsTheProjectSettingsSay) {
  const std::string unit = "unit Main;\n{ a { b } c }\nx // d\nend.";
  struct {
    const char* name;
    std::map<std::string, std::string> options;
    std::string stripped;
  } cases[] = {
      {"the plug-in's defaults", {}, "unit Main;\n{#1} c }\nx {#2}end.{#3}"},
      {"fpc", {{"Dialect", "fpc"}}, "unit Main;\n{#1}\nx {#2}end.{#3}"},
      {"auto, no mode: the compiler's", {{"Dialect", "auto"}}, "unit Main;\n{#1}\nx {#2}end.{#3}"},
      {"auto, the project's mode",
       {{"Dialect", "auto"}, {"ProjectMode", "delphi"}},
       "unit Main;\n{#1} c }\nx {#2}end.{#3}"},
      {"keep lines", {{"KeepLines", "on"}}, "unit Main;\n{#1} c }\nx {#2}\nend.{#3}"},
  };
  for (const auto& c : cases) {
    TMemoryHost host;
    hostintf::TToolServicesScope scope(host.ToolServices());
    host.OpenProject("/q/Project1.dpr");
    for (const auto& [name, value] : c.options) host.SetProjectOption(name, value);
    ASSERT_TRUE(host.AddUnit("/q/Main.pas", unit));
    TUnitFileList units;
    units.Add("/q/Main.pas");
    TRecordingSite site;
    ASSERT_TRUE(UnCommentUnit(site, units, "/q/Main.pas")) << c.name;
    EXPECT_EQ(host.Text("/q/Main.pas"), c.stripped) << c.name;
    units.Add("/q/Unit1.pas");
    ASSERT_TRUE(ReCommentUnit(site, units, "/q/Main.pas")) << c.name;
    EXPECT_EQ(host.Text("/q/Main.pas"), unit) << c.name;
    EXPECT_TRUE(site.Messages.empty()) << c.name << ": " << site.Messages.front();
  }
}

TEST_F(TCommandsTest, UncommentWarnsOfAModuleTheCompilerCannotSkip) {
  AddUnit(kMain, "unit Main;\r\n(* old code:\r\n  { unclosed\r\n*)\r\nend.");
  ASSERT_TRUE(UnCommentUnit(FSite, FUnits, kMain));
  ASSERT_EQ(FSite.Messages.size(), 1u);
  EXPECT_EQ(FSite.Messages.front(), MsgModuleNotSkippable(kMain, kNewUnit, 1));
  // The place of its marker in the stripped unit.
  EXPECT_EQ(FSite.Places, std::vector<std::string>{kMain + "(2,1)"});
  EXPECT_NE(FSite.Messages.front().find("{#1}"), std::string::npos);
  EXPECT_TRUE(IsModuleOf(kNewUnit, "Main.pas"));
}

}  // namespace
}  // namespace scrivlock::commands
