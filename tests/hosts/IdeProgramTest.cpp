// scrivlock-ide as a program: its options in both forms, and a check run that
// never waits for a user: a failure is written out and the status is not 0.
#include "IdeTestSupport.h"

namespace scrivlock::hosts::ide::testing {
namespace {

const QString kDemo = QStringLiteral(SCRIVLOCK_EXAMPLE "/Demo.dpr");
const QString kMissing = QStringLiteral("/nonexistent/libscrivlock.so");

struct TRunRow {
  const char* Name;
  QStringList Arguments;
  bool Succeeds;
  const char* Says;  // in stdout and stderr together
};

const TRunRow kRuns[] = {
    {"PluginWithASpace",
     {"--check", "--plugin", SCRIVLOCK_PLUGIN, kDemo},
     true,
     "project units: 2, listed in Comments: 2"},
    {"PluginWithAnEqualsSign",
     {"--check", "--plugin=" SCRIVLOCK_PLUGIN, kDemo},
     true,
     "listed in Comments: 2"},
    {"AMissingPluginWithASpace",
     {"--check", "--plugin", kMissing, kDemo},
     false,
     "Cannot load the plug-in /nonexistent/libscrivlock.so"},
    {"AMissingPluginWithAnEqualsSign",
     {"--check", "--plugin=" + kMissing, kDemo},
     false,
     "Cannot load the plug-in /nonexistent/libscrivlock.so"},
    {"APluginWithoutTheCommand",
     {"--plugin", SCRIVLOCK_TEST_PLUGIN, "--check", kDemo},
     false,
     "no View > Comments... command"},
    {"AMissingProject",
     {"--check", "--plugin", SCRIVLOCK_PLUGIN, "/nonexistent/Demo.dpr"},
     false,
     "There is no /nonexistent/Demo.dpr"},
    {"NoProject", {"--check", "--plugin", SCRIVLOCK_PLUGIN}, false, "--check needs a project"},
};

void PrintTo(const TRunRow& row, std::ostream* os) {
  *os << row.Name;
}

class IdeProgramTest : public ::testing::TestWithParam<TRunRow> {};

TEST_P(IdeProgramTest, ChecksWithoutWaitingForAUser) {
  const TRunRow& row = GetParam();
  QString out, err;
  const std::optional<int> status =
      RunProgram(QStringLiteral(SCRIVLOCK_IDE), row.Arguments, &out, &err, 30);
  ASSERT_TRUE(status.has_value()) << "it did not end: " << err.toStdString();
  EXPECT_EQ(*status == 0, row.Succeeds) << out.toStdString() << err.toStdString();
  EXPECT_TRUE((out + err).contains(QString::fromLatin1(row.Says)))
      << out.toStdString() << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(CommandLines, IdeProgramTest, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace scrivlock::hosts::ide::testing
