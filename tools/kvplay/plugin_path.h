// Where kvplay finds digibooster.kvp when --plugin is not given.
//
// In the build tree the plug-in sits beside kvplay; after `cmake --install`
// kvplay is in bin/ and the plug-in in lib/kvplay/. The first existing file
// of these two places, taken relative to kvplay's own executable, wins.
#pragma once

#include <string>

namespace kvplay {

constexpr const char *PLUGIN_FILE = "digibooster.kvp";
constexpr const char *PLUGIN_INSTALL_DIR = "lib/kvplay"; // relative to the install prefix

// The plug-in path to use; when none exists, the first place looked at (so
// the error names a sensible file).
std::string defaultPluginPath();

} // namespace kvplay
