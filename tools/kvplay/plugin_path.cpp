#include "tools/kvplay/plugin_path.h"

#include <filesystem>
#include <system_error>

namespace kvplay {

std::string defaultPluginPath()
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    fs::path dir = error ? fs::current_path(error) : self.parent_path();
    const fs::path candidates[] = {dir / PLUGIN_FILE,
                                   dir / ".." / PLUGIN_INSTALL_DIR / PLUGIN_FILE};
    for (const fs::path &candidate : candidates)
        if (fs::exists(candidate, error))
            return candidate.lexically_normal().string();
    return candidates[0].string();
}

} // namespace kvplay
