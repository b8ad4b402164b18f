// The Comments window in-process, where its hint source can be replaced: what a
// failing hint leaves behind, the built-in hint itself, the list of units it is
// given, and an offscreen picture of the window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Encoder.h"
#include "cipher/TextCipher.h"
#include "support/QtTestSupport.h"
#include "ui/Application.h"
#include "ui/BuiltInHint.h"
#include "ui/Comments.h"

namespace scrivlock::ui {
namespace {

using testing::TBoxRecorder;

class CommentsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { CreateApplication(0); }
  void TearDown() override {
    FreeApplication();
    EXPECT_EQ(Comments, nullptr);
  }
  // A window owned by the application object, as EnsureCommentsWindow makes it.
  TComments* MakeWindow(THintSource hint) {
    auto* window = new TComments(nullptr, hint);
    Application->AddWindow(window);
    return window;
  }

  TBoxRecorder boxes;
};

// Data of the encoded-text format with the given version, ECB, one zero block.
std::string EncodedWithVersion(uint32_t version) {
  std::string data(20, '\0');
  data[0] = static_cast<char>(version);
  data[8] = static_cast<char>(cipher::cmECB);
  return "Comments 1,0,0,20." + codec::PackPayload(data);
}

struct TFailingHint {
  const char* Name;
  std::string Encoded;
  std::string Key;
  std::string Report;
};
void PrintTo(const TFailingHint& c, std::ostream* out) {
  *out << c.Name;
}

class FailingHintTest : public CommentsWindowTest,
                        public ::testing::WithParamInterface<TFailingHint> {};

TEST_P(FailingHintTest, IsReportedAndLeavesAWindowWithAWorkingUnitList) {
  const TFailingHint& c = GetParam();
  TComments* window = MakeWindow({c.Encoded, c.Key});

  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].Name, ErrorReportName);
  EXPECT_EQ(boxes.Boxes()[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(boxes.Boxes()[0].Text, c.Report);
  EXPECT_EQ(Comments, window);
  EXPECT_TRUE(window->toolTip().isEmpty());

  // The list works as it would after a good hint.
  window->SetUnits({"/scrivlock-test/Unit1.pas"});
  ASSERT_EQ(window->CBUnits->count(), 1);
  EXPECT_EQ(window->CBUnits->itemText(0), "Unit1.pas");
  window->AddUnits({"/elsewhere/Unit2.pas"});
  EXPECT_EQ(window->CBUnits->count(), 2);
}

// The list and the drop-down change together, and every change clears the
// choice: the commands take the full file name at the chosen index.
TEST_F(CommentsWindowTest, TheUnitsGivenAreListedByNameAndEveryChangeClearsTheChoice) {
  TComments* window = MakeWindow(BuiltInHint());
  auto shown = [&] {
    std::vector<std::string> names;
    for (int i = 0; i < window->CBUnits->count(); ++i)
      names.push_back(window->CBUnits->itemText(i).toStdString());
    return names;
  };
  struct TStep {
    const char* Name;
    std::function<void()> Change;
    std::vector<std::string> Files;
    std::vector<std::string> Shown;
  };
  const TStep steps[] = {
      {"set",
       [&] {
         window->SetUnits({"/a/Unit1.pas", "C:\\b\\Unit1.pas", "/a/Main.pas"});
       },
       {"/a/Unit1.pas", "C:\\b\\Unit1.pas", "/a/Main.pas"},
       {"Unit1.pas", "Unit1.pas", "Main.pas"}},
      {"add, a duplicate too",
       [&] {
         window->AddUnits({"/a/Main.pas", "/a/readme.txt"});
       },
       {"/a/Unit1.pas", "C:\\b\\Unit1.pas", "/a/Main.pas", "/a/Main.pas", "/a/readme.txt"},
       {"Unit1.pas", "Unit1.pas", "Main.pas", "Main.pas", "readme.txt"}},
      {"remove the first of another case",
       [&] { window->RemoveUnit("/A/MAIN.PAS"); },
       {"/a/Unit1.pas", "C:\\b\\Unit1.pas", "/a/Main.pas", "/a/readme.txt"},
       {"Unit1.pas", "Unit1.pas", "Main.pas", "readme.txt"}},
      {"remove one not listed",
       [&] { window->RemoveUnit("/a/Other.pas"); },
       {"/a/Unit1.pas", "C:\\b\\Unit1.pas", "/a/Main.pas", "/a/readme.txt"},
       {"Unit1.pas", "Unit1.pas", "Main.pas", "readme.txt"}},
      {"set none", [&] { window->SetUnits({}); }, {}, {}},
  };
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Name);
    if (window->CBUnits->count() > 0) window->CBUnits->setCurrentIndex(0);
    step.Change();
    EXPECT_EQ(window->Units().Items(), step.Files);
    EXPECT_EQ(shown(), step.Shown);
    EXPECT_EQ(window->CBUnits->currentIndex(), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Hints, FailingHintTest,
                         ::testing::Values(TFailingHint{"FourHeaderItems", "Comments 1,0,20.;;;;",
                                                        std::string(BuiltInHintKey),
                                                        cipher::TTembrelCipher::kHeaderError},
                                           TFailingHint{"WrongVersion", EncodedWithVersion(2),
                                                        std::string(BuiltInHintKey),
                                                        cipher::TTembrelCipher::kVersionError},
                                           TFailingHint{"ShortKey", std::string(BuiltInHintEncoded),
                                                        "short",
                                                        cipher::TVantorCipher::kShortKeyError}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(CommentsWindowTest, TheBuiltInHintIsNinetyCharactersUnderAPrintableKeyOfThirtyFour) {
  EXPECT_EQ(BuiltInHintEncoded.size(), 90u);
  ASSERT_EQ(BuiltInHintKey.size(), 34u);
  for (char c : BuiltInHintKey) EXPECT_TRUE(c >= 32 && c < 127) << int(c);

  cipher::TTembrelCipher cipher;
  const std::string plain = cipher.DecodeString(BuiltInHintEncoded, BuiltInHintKey, false);
  EXPECT_EQ(plain, std::string("Strip or restore the comments of a unit.") + '\0');

  TComments* window = MakeWindow(BuiltInHint());
  EXPECT_EQ(window->toolTip(), "Strip or restore the comments of a unit.");
  EXPECT_TRUE(boxes.Boxes().empty());
}

// Renders the window offscreen for the README: SCRIVLOCK_SCREENSHOT names the
// file (docs/comments-window.png in the repository); by default it goes to the
// build folder.
TEST_F(CommentsWindowTest, RendersOffscreen) {
  TComments* window = MakeWindow(BuiltInHint());
  window->SetUnits({"/scrivlock-test/Unit1.pas", "/scrivlock-test/Main.pas"});
  window->CBUnits->setCurrentIndex(0);
  window->ShowWindow();

  const QImage picture = window->grab().toImage();
  ASSERT_EQ(picture.size(), window->size() * window->devicePixelRatio());
  // The button pictures are drawn: the blue of the braces is somewhere.
  bool braces = false;
  for (int y = 0; y < picture.height() && !braces; ++y)
    for (int x = 0; x < picture.width() && !braces; ++x)
      braces = picture.pixelColor(x, y) == QColor(0x1F, 0x4E, 0x9A);
  EXPECT_TRUE(braces);

  const QByteArray target = qgetenv("SCRIVLOCK_SCREENSHOT");
  const QString path = target.isEmpty() ? QDir::current().filePath("comments-window.png")
                                        : QString::fromLocal8Bit(target);
  EXPECT_TRUE(picture.save(path, "PNG")) << path.toStdString();
}

}  // namespace
}  // namespace scrivlock::ui
