#include "hosts/common/LazarusProject.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "base/FileNames.h"

namespace scrivlock::hosts {

std::string LazarusSyntaxMode(std::string_view lpi) {
  constexpr std::string_view kElement = "<SyntaxMode";
  constexpr std::string_view kValue = "Value=\"";
  const size_t element = lpi.find(kElement);
  if (element == std::string_view::npos) return "objfpc";
  const size_t tagEnd = lpi.find('>', element);
  const std::string_view tag = lpi.substr(
      element, tagEnd == std::string_view::npos ? std::string_view::npos : tagEnd - element);
  const size_t value = tag.find(kValue);
  if (value == std::string_view::npos) return "objfpc";
  const std::string_view rest = tag.substr(value + kValue.size());
  std::string mode(rest.substr(0, rest.find('"')));
  std::transform(mode.begin(), mode.end(), mode.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return mode;
}

std::string FolderSyntaxMode(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> projects;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    if (SameText(it->path().extension().string(), ".lpi") && it->is_regular_file(error)) {
      projects.push_back(it->path());
    }
  }
  if (projects.empty()) return {};
  std::sort(projects.begin(), projects.end());
  std::ifstream in(projects.front(), std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return LazarusSyntaxMode(text.str());
}

}  // namespace scrivlock::hosts
