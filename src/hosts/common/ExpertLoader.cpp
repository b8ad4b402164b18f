#include "hosts/common/ExpertLoader.h"

#include <dlfcn.h>

#include <utility>

namespace scrivlock::hosts {

using namespace scrivlock::hostintf;

namespace {

// The loader whose entry point is running: the registration routine is a plain
// function, so it cannot carry the loader.
thread_local std::vector<TIExpert*>* RegisteringInto = nullptr;

}  // namespace

TExpertLoader::TExpertLoader(TIToolServices& services, TEscapeReport report)
    : FServices(services), FReport(std::move(report)) {}

TExpertLoader::~TExpertLoader() {
  Unload();
}

bool TExpertLoader::Register(TIExpert* expert) {
  if (!RegisteringInto || !expert) return false;
  RegisteringInto->push_back(expert);
  return true;
}

bool TExpertLoader::Load(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    error = why ? why : "cannot open " + path;
    return false;
  }
  auto initProc = reinterpret_cast<TExpertInitProc>(dlsym(library, ExpertEntryPointName));
  if (!initProc) {
    error = path + " has no entry point " + ExpertEntryPointName + ".";
    dlclose(library);
    return false;
  }
  FLibraries.push_back(library);
  if (Init(initProc)) return true;
  error = path + ": the entry point refused to start.";
  return false;
}

bool TExpertLoader::Init(TExpertInitProc initProc) {
  if (!initProc) return false;
  TExpertTerminateProc terminate = nullptr;
  bool result = false;
  std::vector<TIExpert*>* former = std::exchange(RegisteringInto, &FExperts);
  CallGuarded(
      pcEntryPoint, [&] { result = initProc(&FServices, &TExpertLoader::Register, &terminate); },
      FReport);
  RegisteringInto = former;
  if (terminate) FTerminates.push_back(terminate);
  return result;
}

void TExpertLoader::Unload() {
  const std::vector<TExpertTerminateProc> terminates = std::exchange(FTerminates, {});
  for (auto it = terminates.rbegin(); it != terminates.rend(); ++it)
    CallGuarded(pcTerminate, *it, FReport);
  const std::vector<TIExpert*> experts = std::exchange(FExperts, {});
  for (auto it = experts.rbegin(); it != experts.rend(); ++it)
    CallGuarded(
        pcExpertRelease, [expert = *it] { expert->Release(); }, FReport);
  const std::vector<void*> libraries = std::exchange(FLibraries, {});
  for (auto it = libraries.rbegin(); it != libraries.rend(); ++it) dlclose(*it);
}

}  // namespace scrivlock::hosts
