// kvplay's own, statically linked copy of the player core. It inspects
// modules (--info, the duration scan, the reason a file cannot be loaded)
// while the audio itself always comes from the hosted plug-in. It reads
// through the same stand-in host services the plug-in is given.
#pragma once

#include "module/module.h"

#include <memory>
#include <string>

namespace kvplay {

// Hands the static core our host's service record; call once before the
// first load. Safe to call again.
void useStaticCore();

struct ModuleDeleter {
    void operator()(dbm::Module *module) const;
};
using ModulePtr = std::unique_ptr<dbm::Module, ModuleDeleter>;

// Loads `hostName` (a path, or the name of one of our host's memory files)
// with the static core. On failure returns null and sets `error` to the
// reason, worked out for the file at `path`.
ModulePtr loadModuleFile(const std::string &hostName, const std::string &path, std::string &error);

} // namespace kvplay
