#include "base/FileNames.h"

namespace scrivlock {
namespace {

size_t NameStart(std::string_view path) {
  const size_t sep = path.find_last_of("\\:/");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string_view ExtractFileName(std::string_view path) {
  return path.substr(NameStart(path));
}

std::string_view ExtractFileExt(std::string_view path) {
  const std::string_view name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view ExtractFilePath(std::string_view path) {
  return path.substr(0, NameStart(path));
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = Upper(c);
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

bool IsUnitFileName(std::string_view fileName) {
  const std::string_view ext = ExtractFileExt(fileName);
  return SameText(ext, ".pas") || SameText(ext, ".pp");
}

}  // namespace scrivlock
