// Helpers shared by the source processor's tests.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "source/SourceClass.h"

namespace scrivlock::source::test {

struct TUncommented {
  bool ok = false;
  std::string stripped;
  std::string module;
};

inline TUncommented Uncomment(std::string_view text, std::string fileName = "Unit1.pas",
                              std::string moduleName = "Unit2") {
  TSourceClass processor;
  processor.FileName = std::move(fileName);
  TByteStream source(text), stripped, module;
  TUncommented result;
  result.ok = processor.UnComment(source, stripped, module, moduleName);
  result.stripped = std::string(stripped.View());
  result.module = std::string(module.View());
  return result;
}

struct TRecommented {
  bool ok = false;
  std::string restored;
  TReCommentStop stop;
};

inline TRecommented Recomment(std::string_view stripped, std::string_view module) {
  TSourceClass processor;
  TByteStream s(stripped), m(module), restored;
  TRecommented result;
  result.ok = processor.ReComment(s, m, restored);
  result.restored = std::string(restored.View());
  result.stop = processor.LastStop();
  return result;
}

// The module text for the given entries (kind name, text), written out by hand
// so that the layout is checked against an independent formatter.
inline std::string ModuleText(const std::vector<std::pair<std::string, std::string>>& entries,
                              std::string_view unit = "Unit1.pas",
                              std::string_view name = "Unit2") {
  std::string m = "Unit " + std::string(name) + ";\r\ninterface\r\n{$ifopt R+}\r\n{$ifopt R-}\r\n" +
                  "Commenting File: [" + std::string(unit) + "]\r\n{NOTUNCOMMENTABLE}\r\n";
  int number = 0;
  char record[64];
  for (const auto& [kind, text] : entries) {
    std::snprintf(record, sizeof record, "(*%08d,%-6s,%08d*)\r\n'", ++number, kind.c_str(),
                  static_cast<int>(text.size()));
    m += record;
    m += text;
    m += "'\r\n";
  }
  std::snprintf(record, sizeof record, "(*%08d,Fin   ,00000000*)\r\n''\r\n", number + 1);
  m += record;
  m += "{$endif}\r\n{$endif}\r\nimplementation\r\nend.";
  return m;
}

}  // namespace scrivlock::source::test
