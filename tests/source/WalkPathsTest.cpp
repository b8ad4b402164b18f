// The fast walk of ReComment against the plain one, on every finder: the same
// result, restored bytes and stop for damaged and odd modules and edited units.
#include <gtest/gtest.h>

#include <random>

#include "SourceTestUtil.h"
#include "source/Scan.h"

namespace scrivlock::source {
namespace {

using test::Recomment;
using test::RecommentPlainly;
using test::Uncomment;

// Runs `check` once on each finder the processor has, then goes back to the
// one SCRIVLOCK_SIMD chose.
template <class TCheck>
void OnEveryFinder(TCheck check) {
  const scan::TVectorSet chosen = scan::VectorSet();
  for (const scan::TVectorSet set : {scan::vsNone, scan::vsSse2, scan::vsAvx2}) {
    if (scan::UseVectorSet(set) == set) check(set);
  }
  scan::UseVectorSet(chosen);
}

// Code long enough between the markers that the fast walk takes them a block
// at a time and reads entries ahead.
const std::string kCode(70, 'x');

const std::string kUnit = "unit Unit1;{ main }\r\n" + kCode + "// line one\r\n" + kCode +
                          "(* paren *)" + kCode + "{}" + kCode + "//\r\n" + kCode +
                          "{ it's (* \r\n two }" + kCode + "'s{#1}'end.";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string ReplacedOnce(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

struct TModuleEdit {
  const char* name;
  std::string (*edit)(const std::string& module);
};

const TModuleEdit kModuleEdits[] = {
    {"as written", [](const std::string& m) { return m; }},
    {"line breaks converted to LF", [](const std::string& m) { return Replaced(m, "\r\n", "\n"); }},
    {"every other line break converted",
     [](const std::string& m) {
       std::string out;
       bool convert = false;
       for (size_t i = 0; i < m.size(); ++i) {
         if (m.compare(i, 2, "\r\n") == 0 && (convert = !convert)) continue;
         out += m[i];
       }
       return out;
     }},
    {"text emptied", [](const std::string& m) { return ReplacedOnce(m, "' paren '", "''"); }},
    {"text given a (*", [](const std::string& m) { return ReplacedOnce(m, " paren ", " (* x "); }},
    {"line breaks doubled", [](const std::string& m) { return Replaced(m, "\r\n", "\r\r\n"); }},
    {"text edited longer",
     [](const std::string& m) { return ReplacedOnce(m, " paren ", " paren, longer "); }},
    {"text edited shorter", [](const std::string& m) { return ReplacedOnce(m, " paren ", "p"); }},
    {"text given a quote and line break",
     [](const std::string& m) { return ReplacedOnce(m, " paren ", " a'\r\nb "); }},
    {"text given a zero byte",
     [](const std::string& m) { return ReplacedOnce(m, " paren ", std::string(" a\0b ", 5)); }},
    {"number changed",
     [](const std::string& m) { return ReplacedOnce(m, "00000003,", "00000009,"); }},
    {"number damaged",
     [](const std::string& m) { return ReplacedOnce(m, "00000003,", "000x0003,"); }},
    {"kind misspelt", [](const std::string& m) { return ReplacedOnce(m, "Pars", "Pers"); }},
    {"kind in other case", [](const std::string& m) { return ReplacedOnce(m, "Keys", "KEYS"); }},
    {"length damaged",
     [](const std::string& m) { return ReplacedOnce(m, ",00000007*)", ",0000000x*)"); }},
    {"length too large",
     [](const std::string& m) { return ReplacedOnce(m, ",00000007*)", ",99999999*)"); }},
    {"record spaced by hand",
     [](const std::string& m) { return ReplacedOnce(m, "00000003,Pars  ,", "3, Pars,"); }},
    {"record without its close",
     [](const std::string& m) { return ReplacedOnce(m, "0007*)", "0007"); }},
    {"record cut short",
     [](const std::string& m) { return ReplacedOnce(m, "(*00000003,Pars", "(*3"); }},
    {"head without its quote",
     [](const std::string& m) { return ReplacedOnce(m, "*)\r\n' paren", "*)\r\n paren"); }},
    {"entry removed",
     [](const std::string& m) {
       const size_t from = m.find("(*00000003");
       return std::string(m).erase(from, m.find("(*00000004") - from);
     }},
    {"entry doubled",
     [](const std::string& m) {
       const size_t from = m.find("(*00000003");
       return std::string(m).insert(from, m.substr(from, m.find("(*00000004") - from));
     }},
    {"end record removed",
     [](const std::string& m) {
       const size_t from = m.find(",Fin");
       return std::string(m).erase(from - 10, m.find("{$endif}") - (from - 10));
     }},
    {"entry after the end record",
     [](const std::string& m) {
       return ReplacedOnce(m, "{$endif}", "(*00000099,Keys  ,00000001*)\r\n'z'\r\n{$endif}");
     }},
    {"footer removed", [](const std::string& m) { return m.substr(0, m.find("{$endif}")); }},
    {"header removed", [](const std::string& m) { return m.substr(m.find("(*")); }},
    {"no entries", [](const std::string& m) { return m.substr(0, m.find("(*")); }},
};

struct TUnitEdit {
  const char* name;
  std::string (*edit)(const std::string& stripped);
};

const TUnitEdit kUnitEdits[] = {
    {"as stripped", [](const std::string& s) { return s; }},
    {"line breaks converted to LF", [](const std::string& s) { return Replaced(s, "\r\n", "\n"); }},
    {"code edited", [](const std::string& s) { return ReplacedOnce(s, "xxxx", "y := 'a''b';"); }},
    {"marker deleted", [](const std::string& s) { return ReplacedOnce(s, "{#3}", ""); }},
    {"marker doubled", [](const std::string& s) { return ReplacedOnce(s, "{#3}", "{#3}{#3}"); }},
    {"markers swapped",
     [](const std::string& s) {
       return ReplacedOnce(ReplacedOnce(s, "{#2}", "{#T}"), "{#3}", "{#2}");
     }},
    {"last marker deleted", [](const std::string& s) { return s.substr(0, s.rfind("{#")); }},
    {"marker after the end marker", [](const std::string& s) { return s + "{#99}"; }},
    {"marker cut off", [](const std::string& s) { return s.substr(0, s.size() - 1); }},
    {"markers inside added comments",
     [](const std::string& s) {
       return ReplacedOnce(ReplacedOnce(s, "{#2}", "// {#2}"), "{#3}", "{ {#3}");
     }},
    {"literal left open before the end marker",
     [](const std::string& s) { return ReplacedOnce(s, "'end.", "'end.'open "); }},
    {"directives",
     [](const std::string& s) { return ReplacedOnce(s, "{#2}", "{$I x}(*$Y*){#2}"); }},
};

TEST(WalkPathsTest, FastAndPlainWalksAgreeOnDamagedModulesAndEditedUnits) {
  const auto u = Uncomment(kUnit);
  ASSERT_TRUE(u.ok);
  ASSERT_TRUE(Recomment(u.stripped, u.module).ok);
  OnEveryFinder([&](scan::TVectorSet set) {
    for (const TModuleEdit& m : kModuleEdits) {
      const std::string module = m.edit(u.module);
      for (const TUnitEdit& s : kUnitEdits) {
        const std::string stripped = s.edit(u.stripped);
        // Recomment holds the fast walk to the plain one; this says which case failed.
        SCOPED_TRACE(std::string(m.name) + ", " + s.name + ", finder " + std::to_string(set));
        Recomment(stripped, module);
      }
    }
  });
}

TEST(WalkPathsTest, FastAndPlainWalksAgreeOnRandomDamage) {
  const auto u = Uncomment(kUnit);
  const std::string bytes = "{}()*/'$#,\r\n0123456789 aFKPB";
  std::mt19937 random(4711);
  OnEveryFinder([&](scan::TVectorSet set) {
    for (int round = 0; round < 3000; ++round) {
      std::string module = u.module;
      std::string stripped = u.stripped;
      for (int i = random() % 4; i >= 0; --i) {
        std::string& text = random() % 3 == 0 ? stripped : module;
        const size_t at = random() % text.size();
        switch (random() % 3) {
          case 0:
            text[at] = bytes[random() % bytes.size()];
            break;
          case 1:
            text.erase(at, random() % 4);
            break;
          default:
            text.insert(at, 1, bytes[random() % bytes.size()]);
        }
      }
      Recomment(stripped, module);
      if (HasFailure()) {
        ADD_FAILURE() << "finder " << set << ", round " << round << "\n"
                      << stripped << "\n"
                      << module;
        return;
      }
    }
  });
}

}  // namespace
}  // namespace scrivlock::source
