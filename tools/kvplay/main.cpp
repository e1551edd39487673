// kvplay: renders DBM0 modules to audio files, or plays them (--play),
// through the digibooster.kvp plug-in, hosted the way the Kestrova host does
// it, or through libdbmplay for what the plug-in's stream cannot play
// (songs, starts, mutes, stems). Exit status: 0 when every file was
// rendered, played (or described), 1 when any failed, 2 on a usage error.

#include "host/memory_budget.h"
#include "tools/kvplay/batch.h"
#include "tools/kvplay/demo_file.h"
#include "tools/kvplay/info_report.h"
#include "tools/kvplay/interrupt.h"
#include "tools/kvplay/jobs.h"
#include "tools/kvplay/library_jobs.h"
#include "tools/kvplay/options.h"
#include "tools/kvplay/playback.h"
#include "tools/kvplay/plugin_path.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/render_job.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

using namespace kvplay;

int describe(const std::vector<RenderJob> &jobs)
{
    int status = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        std::string error;
        bool endsEarly = false;
        ModulePtr module = loadModuleFile(jobs[i].source, error, endsEarly);
        if (!module) {
            std::fprintf(stderr, "kvplay: %s: %s\n", jobs[i].source.display.c_str(), error.c_str());
            status = 1;
            continue;
        }
        if (endsEarly)
            std::fprintf(stderr, "%s\n", endsEarlyWarning(jobs[i].source).c_str());
        dbm::SongDuration duration = dbm::scanSongDuration(module.get(), OUTPUT_RATE);
        std::printf("%s%s", i ? "\n" : "",
                    describeModule(jobs[i].source.display, *module, duration).c_str());
    }
    return status;
}

int printVersion(const Options &options)
{
    std::printf("kvplay %s\n", KVPLAY_VERSION);
    const std::string pluginPath = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    StreamPlugin plugin;
    std::string error;
    if (plugin.start(pluginPath, error))
        std::printf("plug-in %s: %s\n", pluginPath.c_str(), plugin.identity().c_str());
    else
        std::fprintf(stderr, "kvplay: %s\n", error.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;
    // Before any thread starts. Playback writes no file and stops on these
    // signals in order itself, restoring the terminal (terminal_keys.h).
    if (!options.play)
        endCleanlyOnSignals();
    if (options.version)
        return printVersion(options);
    if (!options.writeDemo.empty())
        return writeDemoFile(options);
    if (options.listDevices)
        return listOutputDevices();
    if (int status = checkInputs(options); status >= 0)
        return status;

    kvhost::setMemoryBudget(options.memoryLimit);
    useStaticCore();
    std::vector<RenderJob> jobs = makeJobs(options);
    if (options.info)
        return describe(jobs);
    // Choices the plug-in's stream cannot serve are played through the library.
    if (options.choices.any())
        if (int status = planLibraryJobs(options, jobs); status >= 0)
            return status;
    if (!options.play)
        if (int status = checkOutputs(jobs, options); status >= 0)
            return status;

    const std::string pluginPath = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    StreamPlugin plugin;
    std::string error;
    if (!options.choices.any() && !plugin.start(pluginPath, error)) {
        std::fprintf(stderr, "kvplay: %s\n", error.c_str());
        return 1;
    }

    if (options.play)
        return playModules(jobs, options, plugin);

    Progress progress(!options.quiet && isatty(STDERR_FILENO));
    size_t failures = runBatch(jobs.size(), options.jobs, [&](size_t i) {
        std::string reason;
        if (renderJob(jobs[i], options, plugin, progress, reason))
            return true;
        progress.message("kvplay: " + reason);
        return false;
    });
    progress.clear();
    return failures ? 1 : 0;
}
