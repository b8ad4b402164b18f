// TExpertLoader: how a host takes plug-ins ("experts") in and lets them go.
//
// Loading a plug-in opens its shared library, looks up the entry point
// INITEXPERT0017 (ExptIntf.h) and calls it once with the host's services, a
// registration routine that keeps each expert the plug-in registers (the host
// then owns one reference to it), and a place for a terminate routine, which
// is kept when the plug-in fills it in.
//
// Unloading takes three steps, each newest first: the terminate routines run;
// every registered expert is released; the libraries are closed. So a
// terminate routine still finds its expert, and nothing of a library runs
// after it is closed.
//
// An exception a plug-in lets out of its entry point, its terminate routine or
// its expert's Release goes to the loader's TEscapeReport (GuardedCall.h), and
// the loading or unloading goes on without it.
//
// One thread, like the host.
#pragma once

#include <string>
#include <vector>

#include "hostintf/ExptIntf.h"
#include "hosts/common/GuardedCall.h"

namespace scrivlock::hosts {

class TExpertLoader {
 public:
  // `services` (the host's, borrowed) is what the entry points get.
  TExpertLoader(hostintf::TIToolServices& services, TEscapeReport report);
  // Unloads.
  ~TExpertLoader();
  TExpertLoader(const TExpertLoader&) = delete;
  TExpertLoader& operator=(const TExpertLoader&) = delete;

  // Opens the library at `path` and calls Init with its entry point. False
  // with `error` saying why when the library cannot be opened, has no entry
  // point (it is closed again) or the entry point fails or answers false (it
  // stays open until Unload: its experts may be registered all the same).
  bool Load(const std::string& path, std::string& error);
  // Calls an entry point that is already in the program; returns its answer,
  // false when it let an exception out.
  bool Init(hostintf::TExpertInitProc initProc);
  // Runs the terminate routines, releases the experts and closes the
  // libraries, as above. The loader can load again afterwards.
  void Unload();

  int ExpertCount() const { return static_cast<int>(FExperts.size()); }
  // Borrowed. REQUIRES: 0 <= index < ExpertCount().
  hostintf::TIExpert* Expert(int index) const { return FExperts.at(static_cast<size_t>(index)); }

 private:
  static bool Register(hostintf::TIExpert* expert);

  hostintf::TIToolServices& FServices;
  TEscapeReport FReport;
  std::vector<hostintf::TIExpert*> FExperts;
  std::vector<hostintf::TExpertTerminateProc> FTerminates;
  std::vector<void*> FLibraries;
};

}  // namespace scrivlock::hosts
