#include "tools/kvplay/static_core.h"

#include "base/host_services.h"
#include "host/plugin_loader.h"
#include "host/services.h"
#include "module/loader.h"
#include "tools/kvplay/load_error.h"

#include <mutex>

namespace kvplay {

void useStaticCore()
{
    static std::once_flag once;
    std::call_once(once, [] {
        dbm::pluginGlobals.host = kvhost::serviceRecord(kvhost::HOST_INTERFACE_VERSION);
        dbm::pluginGlobals.hostVersion = uint32_t(kvhost::HOST_VERSION);
    });
}

void ModuleDeleter::operator()(dbm::Module *module) const
{
    dbm::freeModule(module);
}

ModulePtr loadModuleFile(const std::string &hostName, const std::string &path, std::string &error)
{
    int32_t code = 0;
    ModulePtr module(dbm::loadModule(hostName.c_str(), &code, nullptr, nullptr));
    if (!module)
        error = describeLoadError(code, path);
    return module;
}

} // namespace kvplay
