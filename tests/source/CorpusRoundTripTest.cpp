// Every Pascal source of the Free Pascal package, uncommented and re-commented,
// must come back byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SourceTestUtil.h"

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

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CorpusRoundTripTest, FreePascalSourcesComeBackByteForByte) {
  const std::vector<fs::path> files = CorpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus absent: install fpc-source-3.2.2";
  int64_t bytes = 0;
  int refused = 0;
  int failed = 0;
  for (const fs::path& path : files) {
    const std::string unit = ReadFile(path);
    // Every file is taken as a ".pas" unit, whatever its own extension.
    const auto u = test::Uncomment(unit, path.stem().string() + ".pas");
    if (!u.ok) {
      ++refused;  // only a unit marked not uncommentable may be refused
      EXPECT_NE(unit.substr(0, 1023).find("{NOTUNCOMMENTABLE}"), std::string::npos) << path;
      continue;
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

}  // namespace
}  // namespace scrivlock::source
