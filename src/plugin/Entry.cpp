// The plug-in's one export. Loading the library runs none of Scrivlock's own
// code: everything starts here, when the host calls in.
#include <exception>
#include <stdexcept>
#include <string>

#include "hostintf/ExptIntf.h"
#include "hostintf/InterfacePtr.h"
#include "hostintf/ToolServices.h"
#include "plugin/FormBrowserExpert.h"
#include "ui/Application.h"

using namespace scrivlock;

// Stores the host's services, makes its main window the owner of the plug-in's
// windows, and hands a new TFormBrowserExpert to `registerProc`. A failure is
// passed to the host's RaiseException; the result is true all the same.
// `terminate` is left as it is.
extern "C" __attribute__((visibility("default"))) bool INITEXPERT0017(
    hostintf::TIToolServices* toolServices, hostintf::TExpertRegisterProc registerProc,
    hostintf::TExpertTerminateProc* /*terminate*/) {
  bool handedOver = false;
  try {
    if (!toolServices) return true;
    hostintf::ToolServices = toolServices;
    ui::CreateApplication(toolServices->GetParentHandle());
    hostintf::TInterfacePtr<plugin::TFormBrowserExpert> expert(new plugin::TFormBrowserExpert());
    if (!registerProc) throw std::invalid_argument("The host gave no registration routine.");
    handedOver = true;
    registerProc(expert.Detach());
  } catch (...) {
    const std::string message = ui::ErrorMessage(
        std::current_exception(), "Unknown error while registering the Comments expert.");
    try {
      toolServices->RaiseException(message);
    } catch (...) {
      // A host's RaiseException may raise in the host's own way; nothing may
      // leave the entry point, and the host has had the message.
    }
  }
  // Without an expert nothing would free the application object.
  if (!handedOver) ui::FreeApplication();
  return true;
}
