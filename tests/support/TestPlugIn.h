// What the test plug-in (TestPlugIn.cpp, built as libscrivlock_testplugin.so)
// and the tests that load it agree on. The plug-in is loaded by the host under
// test, not linked: it hears from the test through the environment and answers
// through a log file.
#pragma once

namespace scrivlock::testing {

// The file the plug-in appends one line per event to, named when the library
// is loaded: "loaded", "entry", "registered", "terminate", "expert released",
// "unloaded" (when the library is closed).
inline constexpr const char* kTestPlugInLog = "SCRIVLOCK_TEST_PLUGIN_LOG";

// How the plug-in misbehaves, read by its entry point: empty for not at all,
// "refuse" (its entry point registers the expert and answers false),
// "throw-entry" (its entry point throws "entry failed" first thing),
// "throw-terminate" (its terminate routine throws "terminate failed"),
// "throw-release" (its expert throws "release failed" once destroyed).
inline constexpr const char* kTestPlugInMode = "SCRIVLOCK_TEST_PLUGIN_MODE";

// The menu item the plug-in's expert inserts after "ViewPrjMgrItem" and holds
// for its life, together with an add-in notifier, so that a host can be seen
// to get back everything the plug-in held.
inline constexpr const char* kTestPlugInMenuItem = "TestPlugInItem";

}  // namespace scrivlock::testing
