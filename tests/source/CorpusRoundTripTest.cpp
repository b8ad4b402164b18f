// Every Pascal source of the Free Pascal package, uncommented and re-commented,
// must come back byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SourceTestUtil.h"
#include "source/Record.h"

namespace scrivlock::source {
namespace {

namespace fs = std::filesystem;

// The package's file list; SCRIVLOCK_CORPUS_LIST may name another list.
std::vector<fs::path> CorpusFiles() {
  const char* list = std::getenv("SCRIVLOCK_CORPUS_LIST");
  std::ifstream in(list ? list : "/var/lib/dpkg/info/fpc-source-3.2.2.list");
  std::vector<fs::path> files;
  for (std::string line; std::getline(in, line);) {
    const fs::path path(line);
    if ((path.extension() == ".pas" || path.extension() == ".pp") && fs::is_regular_file(path)) {
      files.push_back(path);
    }
  }
  return files;
}

// The line breaks (LF) that the module's brace and paren-star entries took from
// the unit: a comment that spans lines takes them whatever the setting.
int64_t BlockCommentLineBreaks(std::string_view module) {
  record::TEntryReader reader(module);
  int64_t count = 0;
  if (!reader.SkipHeader()) return -1;
  record::TFields fields;
  std::string_view text;
  while (reader.AtEntry() && reader.ReadHead(fields) && reader.ReadText(fields, text)) {
    if (fields.Kind == ckBrace || fields.Kind == ckParen) count += std::ranges::count(text, '\n');
  }
  return count;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class CorpusRoundTripTest : public ::testing::TestWithParam<TScanOptions> {};

TEST_P(CorpusRoundTripTest, FreePascalSourcesComeBackByteForByte) {
  const std::vector<fs::path> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus absent: install fpc-source-3.2.2";
  const TScanOptions options = GetParam();
  int64_t bytes = 0;
  int refused = 0;
  int failed = 0;
  for (const fs::path& path : files) {
    const std::string unit = ReadFile(path);
    // Every file is taken as a ".pas" unit, whatever its own extension.
    const auto u = test::Uncomment(unit, path.stem().string() + ".pas", "Unit2", options);
    if (!u.ok) {
      ++refused;  // only a unit marked not uncommentable may be refused
      EXPECT_NE(unit.substr(0, 1023).find("{NOTUNCOMMENTABLE}"), std::string::npos) << path;
      continue;
    }
    if (options.KeepLines) {
      // Line comments leave every line break: the unit's lines are the stripped
      // text's and those of comments that span lines.
      EXPECT_EQ(std::ranges::count(unit, '\n'),
                std::ranges::count(u.stripped, '\n') + BlockCommentLineBreaks(u.module))
          << path;
    }
    const auto r = test::Recomment(u.stripped, u.module);
    if (!r.ok || r.restored != unit) {
      ADD_FAILURE() << path << ": " << r.stop.Describe();
      if (++failed > 10) break;
    }
    bytes += static_cast<int64_t>(unit.size());
  }
  std::cout << "round trip: " << files.size() - refused << " files, " << bytes << " bytes";
  if (refused) std::cout << " (" << refused << " refused as not uncommentable)";
  std::cout << std::endl;
  RecordProperty("files", static_cast<int>(files.size() - refused));
  RecordProperty("bytes", std::to_string(bytes));
}

INSTANTIATE_TEST_SUITE_P(Options, CorpusRoundTripTest,
                         ::testing::Values(TScanOptions{dlDelphi, false},
                                           TScanOptions{dlFpc, true}),
                         [](const auto& info) {
                           return std::string(info.param.Dialect == dlFpc ? "Fpc" : "Delphi") +
                                  (info.param.KeepLines ? "KeepingLines" : "");
                         });

}  // namespace
}  // namespace scrivlock::source
