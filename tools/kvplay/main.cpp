// kvplay: renders DBM0 modules to audio files, or plays them (--play),
// through the digibooster.kvp plug-in, hosted the way the Kestrova host does
// it. Exit status: 0 when every file was rendered, played (or described), 1
// when any failed, 2 on a usage error.

#include "host/services.h"
#include "tools/demo/embedded_demo.h"
#include "tools/kvplay/batch.h"
#include "tools/kvplay/info_report.h"
#include "tools/kvplay/options.h"
#include "tools/kvplay/playback.h"
#include "tools/kvplay/plugin_path.h"
#include "tools/kvplay/progress.h"
#include "tools/kvplay/render_job.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/stream_plugin.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace {

using namespace kvplay;

// The name under which the embedded demo is served by our host's memory
// files; no path on disk looks like it.
constexpr const char *DEMO_SOURCE = ":kvplay:demo.dbm";

bool writeDemo(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(demo::EMBEDDED_MODULE, 1, demo::EMBEDDED_MODULE_SIZE, file) ==
                          demo::EMBEDDED_MODULE_SIZE;
    int savedErrno = errno;
    if (file && std::fclose(file) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok)
        std::fprintf(stderr, "kvplay: cannot write %s: %s\n", path.c_str(), std::strerror(savedErrno));
    return ok;
}

std::vector<RenderJob> makeJobs(const Options &options)
{
    std::vector<RenderJob> jobs;
    const std::string extension = options.raw ? "raw" : options.format;
    if (options.files.empty()) {
        kvhost::addMemoryFile(DEMO_SOURCE, std::vector<uint8_t>(demo::EMBEDDED_MODULE,
                                                                demo::EMBEDDED_MODULE + demo::EMBEDDED_MODULE_SIZE));
        jobs.push_back({0, DEMO_SOURCE, "demo", options.output.empty() ? "demo." + extension : options.output,
                        options.raw});
        return jobs;
    }
    for (const std::string &file : options.files) {
        std::string output = options.output;
        if (output.empty())
            output = std::filesystem::path(file).stem().string() + "." + extension;
        jobs.push_back({unsigned(jobs.size()), file, file, output, options.raw});
    }
    return jobs;
}

// Two jobs writing one file, or a job writing over its own module, would
// destroy data: refused before anything is rendered.
bool outputsAreSafe(const std::vector<RenderJob> &jobs)
{
    std::set<std::string> outputs;
    for (const RenderJob &job : jobs) {
        std::error_code error;
        if (!outputs.insert(job.output).second) {
            std::fprintf(stderr, "kvplay: two files would both be written to %s\n", job.output.c_str());
            return false;
        }
        if (job.output != "-" && std::filesystem::equivalent(job.source, job.output, error)) {
            std::fprintf(stderr, "kvplay: %s: the output would overwrite it\n", job.display.c_str());
            return false;
        }
    }
    return true;
}

int describe(const std::vector<RenderJob> &jobs)
{
    int status = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        std::string error;
        ModulePtr module = loadModuleFile(jobs[i].source, jobs[i].display, error);
        if (!module) {
            std::fprintf(stderr, "kvplay: %s: %s\n", jobs[i].display.c_str(), error.c_str());
            status = 1;
            continue;
        }
        dbm::SongDuration duration = dbm::scanSongDuration(module.get(), OUTPUT_RATE);
        std::printf("%s%s", i ? "\n" : "",
                    describeModule(jobs[i].display, *module, duration).c_str());
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (int status = parseOptions(argc, argv, options); status >= 0)
        return status;
    if (!options.writeDemo.empty())
        return writeDemo(options.writeDemo) ? 0 : 1;
    if (options.listDevices)
        return listOutputDevices();

    useStaticCore();
    const std::vector<RenderJob> jobs = makeJobs(options);
    if (options.info && !options.version)
        return describe(jobs);
    if (!options.play && !outputsAreSafe(jobs))
        return 2;

    const std::string pluginPath = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    StreamPlugin plugin;
    std::string error;
    if (!plugin.start(pluginPath, error)) {
        std::fprintf(stderr, "kvplay: cannot load the plug-in: %s\n", error.c_str());
        return 1;
    }
    if (options.version) {
        std::printf("kvplay %s\nplug-in %s: %s\n", KVPLAY_VERSION, pluginPath.c_str(),
                    plugin.identity().c_str());
        return 0;
    }

    if (options.play)
        return playModules(jobs, options, plugin);

    Progress progress(!options.quiet && isatty(STDERR_FILENO));
    size_t failures = runBatch(jobs.size(), options.jobs, [&](size_t i) {
        std::string reason;
        if (renderModule(jobs[i], options.seconds, options.tail, plugin, progress, reason))
            return true;
        progress.message("kvplay: " + reason);
        return false;
    });
    progress.clear();
    return failures ? 1 : 0;
}
