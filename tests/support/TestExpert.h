// TTestExpert: an add-in expert that says nothing but its name, for tests that
// need one to register. A test derives from it for what it looks at (its
// destruction, what it holds). Header only: the test plug-in builds it too.
#pragma once

#include <string>

#include "hostintf/ExptIntf.h"

namespace scrivlock::testing {

class TTestExpert : public hostintf::TIExpert {
 public:
  explicit TTestExpert(std::string name) : FName(std::move(name)) {}

  std::string GetName() override { return FName; }
  std::string GetAuthor() override { return {}; }
  std::string GetComment() override { return {}; }
  std::string GetPage() override { return {}; }
  intptr_t GetGlyph() override { return 0; }
  hostintf::TExpertStyle GetStyle() override { return hostintf::esAddIn; }
  hostintf::TExpertState GetState() override { return 0; }
  std::string GetIDString() override { return "Scrivlock." + FName; }
  std::string GetMenuText() override { return {}; }
  void Execute() override {}

 private:
  std::string FName;
};

}  // namespace scrivlock::testing
