// The plug-in's side of the boundary: the expert object the host registers
// (TIExpert) and the entry point through which the host loads the plug-in.
#pragma once

#include <cstdint>
#include <string>

#include "hostintf/ToolIntf.h"
#include "hostintf/VirtIntf.h"

namespace scrivlock::hostintf {

enum TExpertStyle : int32_t {
  esStandard = 0,
  esForm = 1,
  esProject = 2,
  esAddIn = 3,  // installs its own menu items; Execute is not called
};

// Bits of GetState.
enum TExpertStateBit : int32_t {
  esEnabled = 0,
  esChecked = 1,
};
using TExpertState = uint32_t;

class TIExpert : public TInterface {
 public:
  virtual std::string GetName() = 0;
  virtual std::string GetAuthor() = 0;
  virtual std::string GetComment() = 0;
  virtual std::string GetPage() = 0;
  virtual intptr_t GetGlyph() = 0;  // a native icon handle; 0 for none
  virtual TExpertStyle GetStyle() = 0;
  virtual TExpertState GetState() = 0;
  virtual std::string GetIDString() = 0;
  virtual std::string GetMenuText() = 0;
  virtual void Execute() = 0;
};

// The host's registration routine: takes over the reference to `expert` that
// the caller passes (the host releases it when it unloads the plug-in).
using TExpertRegisterProc = bool (*)(TIExpert* expert);
// A routine the plug-in may hand back, which the host calls before unloading.
using TExpertTerminateProc = void (*)();

// The plug-in's one export, looked up by this name and called once by the host.
inline constexpr const char* ExpertEntryPointName = "INITEXPERT0017";
using TExpertInitProc = bool (*)(TIToolServices* toolServices, TExpertRegisterProc registerProc,
                                 TExpertTerminateProc* terminate);

}  // namespace scrivlock::hostintf
