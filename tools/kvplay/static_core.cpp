#include "tools/kvplay/static_core.h"

#include "base/host_services.h"
#include "host/memory_budget.h"
#include "host/plugin_loader.h"
#include "host/read_trail.h"
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

ModulePtr loadModuleFile(const ModuleSource &source, std::string &error, bool &endsEarly)
{
    endsEarly = false;
    if (!source.problem.empty()) {
        error = source.problem;
        return nullptr;
    }
    const uint64_t refusals = kvhost::budgetRefusals();
    int32_t code = 0;
    ModulePtr module(dbm::loadModule(source.hostName.c_str(), &code, nullptr, nullptr));
    const kvhost::ReadTrail trail = kvhost::readTrail();
    if (!module)
        error = describeLoadError(code, source, trail, kvhost::budgetRefusals() != refusals);
    else
        endsEarly = trail.shortRead;
    return module;
}

std::string endsEarlyWarning(const ModuleSource &source)
{
    return "kvplay: " + source.display + ": the file ends early; missing data plays as silence";
}

} // namespace kvplay
