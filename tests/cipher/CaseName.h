// Names a table's cases by their row ("Row3") rather than by a dump of their
// bytes; a failing case prints its values all the same.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace scrivlock::cipher {

struct TRowName {
  template <class T>
  std::string operator()(const testing::TestParamInfo<T>& info) const {
    return "Row" + std::to_string(info.index);
  }
};

}  // namespace scrivlock::cipher
