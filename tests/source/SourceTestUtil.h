// Helpers shared by the source processor's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "source/SourceClass.h"
#include "source/Walk.h"

namespace scrivlock::source::test {

struct TUncommented {
  bool ok = false;
  std::string stripped;
  std::string module;
};

inline TUncommented Uncomment(std::string_view text, std::string fileName = "Unit1.pas",
                              std::string moduleName = "Unit2", TScanOptions options = {}) {
  TSourceClass processor;
  processor.FileName = std::move(fileName);
  processor.Options = options;
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

inline bool operator==(const TReCommentStop& a, const TReCommentStop& b) {
  return a.Reason == b.Reason && a.Marker == b.Marker && a.Entry == b.Entry && a.Offset == b.Offset;
}

// ReComment's plain walk on the same texts.
inline TRecommented RecommentPlainly(std::string_view stripped, std::string_view module) {
  TRecommented result;
  result.ok = walk::Plain(stripped, module, result.restored, result.stop);
  return result;
}

// ReComment as the processor runs it. Every call also runs the plain walk,
// which must come to the same result, bytes and stop.
inline TRecommented Recomment(std::string_view stripped, std::string_view module) {
  TSourceClass processor;
  TByteStream s(stripped), m(module), restored;
  TRecommented result;
  result.ok = processor.ReComment(s, m, restored);
  result.restored = std::string(restored.View());
  result.stop = processor.LastStop();
  const TRecommented plain = RecommentPlainly(stripped, module);
  EXPECT_EQ(plain.ok, result.ok) << "the plain walk differs";
  EXPECT_EQ(plain.restored, result.restored) << "the plain walk differs";
  EXPECT_TRUE(plain.stop == result.stop)
      << "the plain walk differs: " << plain.stop.Describe() << " / " << result.stop.Describe();
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
