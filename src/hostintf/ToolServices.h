// The global through which the plug-in reaches its host. The entry point stores
// the host's object here once; hosts built into a program (the command-line
// tool, tests) set it themselves. Every command starts its calls into the host
// from it. It does not own the object: the host does.
//
// Each binary that links this library has its own copy: a shared plug-in's
// global is set by its entry point, not by the program that loads it.
#pragma once

#include "hostintf/ToolIntf.h"

namespace scrivlock::hostintf {

extern TIToolServices* ToolServices;

// Sets ToolServices for the life of the object and puts the former value back
// at its end; for hosts that live in the same program as the commands.
class TToolServicesScope {
 public:
  explicit TToolServicesScope(TIToolServices* services) : FFormer(ToolServices) {
    ToolServices = services;
  }
  ~TToolServicesScope() { ToolServices = FFormer; }
  TToolServicesScope(const TToolServicesScope&) = delete;
  TToolServicesScope& operator=(const TToolServicesScope&) = delete;

 private:
  TIToolServices* FFormer;
};

}  // namespace scrivlock::hostintf
