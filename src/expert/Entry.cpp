// The plug-in's one export. Loading the library runs none of Scrivlock's own
// code: everything starts here, when the host calls in.
#include <exception>
#include <stdexcept>

#include "expert/ExptIntf.h"
#include "expert/FormBrowserExpert.h"
#include "expert/InterfacePtr.h"
#include "expert/ToolServices.h"
#include "ui/Application.h"

using namespace scrivlock;

// Stores the host's services, makes its main window the owner of the plug-in's
// windows, and hands a new TFormBrowserExpert to `registerProc`. A failure is
// passed to the host's RaiseException; the result is true all the same.
// `terminate` is left as it is.
extern "C" __attribute__((visibility("default"))) bool INITEXPERT0017(
    expert::TIToolServices* toolServices, expert::TExpertRegisterProc registerProc,
    expert::TExpertTerminateProc* /*terminate*/) {
  bool handedOver = false;
  try {
    if (!toolServices) return true;
    expert::ToolServices = toolServices;
    ui::CreateApplication(toolServices->GetParentHandle());
    expert::TInterfacePtr<expert::TFormBrowserExpert> expert(new expert::TFormBrowserExpert());
    if (!registerProc) throw std::invalid_argument("The host gave no registration routine.");
    handedOver = true;
    registerProc(expert.Detach());
  } catch (const std::exception& error) {
    try {
      toolServices->RaiseException(error.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      toolServices->RaiseException("Unknown error while registering the Comments expert.");
    } catch (...) {
    }
  }
  // Without an expert nothing would free the application object.
  if (!handedOver) ui::FreeApplication();
  return true;
}
