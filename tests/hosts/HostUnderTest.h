// The hosts behind the conformance suite (HostConformanceTest.cpp): each of our
// hosts (the in-memory host, the file host, the Qt IDE host) wrapped so that
// the suite can start it on a project in a folder and look at what it did
// through one small interface. A host is made fresh for each test.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hostintf/ToolIntf.h"

namespace scrivlock::hosts::conformance {

struct TFile {
  std::string Name;  // without folder
  std::string Text;
};

class THostUnderTest {
 public:
  virtual ~THostUnderTest() = default;

  // Writes `units` and `others` into `folder` (which exists and is empty) and
  // opens a project there whose units are `units`. A host that takes a
  // folder's every ".pas" file for a unit (the file host) lists `others` too.
  virtual void Start(const std::string& folder, const std::vector<TFile>& units,
                     const std::vector<TFile>& others) = 0;
  virtual hostintf::TIToolServices& Services() = 0;
  // The project file; empty when the project is a folder.
  virtual std::string ProjectFile() = 0;

  // What the host reported of exceptions that a plug-in let out (GuardedCall.h),
  // one entry each, in its own words.
  virtual std::vector<std::string> Escapes() = 0;
  // The host's interface objects alive now; none when it does not count them.
  virtual std::optional<int> LiveInterfaces() { return std::nullopt; }
  // Misuses of its objects the host saw (a Release too many); empty when it
  // does not look.
  virtual std::vector<std::string> ReferenceFaults() { return {}; }

  // Removing a unit from the project and closing the project (hosts whose
  // THostKind::ClosesProjects holds); false when it has no such operation.
  virtual bool RemoveUnit(const std::string& /*fileName*/) { return false; }
  virtual bool CloseProject() { return false; }

  // Plug-ins (hosts whose THostKind::LoadsPlugIns holds).
  virtual bool LoadPlugIn(const std::string& /*path*/, std::string& /*error*/) { return false; }
  virtual void UnloadPlugIns() {}
  virtual int ExpertCount() { return 0; }
  virtual int AddInNotifierCount() { return 0; }
  virtual bool HasMenuItem(const std::string& /*name*/) { return false; }
};

struct THostKind {
  const char* Name;  // for test names
  std::function<std::unique_ptr<THostUnderTest>()> Make;
  bool ModuleNotifiers;  // its modules take notifiers
  bool ClosesProjects;   // it can remove a unit and close its project
  bool LoadsPlugIns;
};

// Every host this build has (the IDE host only with Qt).
std::vector<THostKind> HostKinds();

// Test names and messages call a host by its name.
inline void PrintTo(const THostKind& kind, std::ostream* os) {
  *os << kind.Name;
}

}  // namespace scrivlock::hosts::conformance
