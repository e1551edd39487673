#include "tools/kvplay/jobs.h"

#include "tools/kvplay/audio_output.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace kvplay {

std::vector<RenderJob> makeJobs(const Options &options)
{
    std::vector<RenderJob> jobs;
    const std::string extension = options.raw ? "raw" : options.format.value_or("wav");
    if (options.files.empty()) {
        jobs.push_back({0, demoSource(), options.output.empty() ? "demo." + extension : options.output});
        return jobs;
    }
    for (const std::string &file : options.files) {
        std::string output = options.output;
        if (output.empty())
            output = (file == "-" ? "stdin" : std::filesystem::path(file).stem().string()) + "." + extension;
        const unsigned index = unsigned(jobs.size());
        jobs.push_back({index, moduleSource(file, index, options.memoryLimit), output});
    }
    return jobs;
}

int checkOutputs(const std::vector<RenderJob> &jobs, const Options &options)
{
    namespace fs = std::filesystem;
    std::set<std::string> outputs;
    for (const RenderJob &job : jobs) {
        std::error_code error;
        const std::string &output = job.output;
        if (output == "-") {
            if (isatty(STDOUT_FILENO))
                return usageError("-o - writes audio, and standard output is a terminal; use a pipe or a file");
            continue;
        }
        if (!options.raw && !isAudioFileName(output))
            return usageError(output + ": unknown output format; use .wav, .flac, .ogg or .aiff");
        if (!outputs.insert(output).second)
            return usageError("two files would both be written to " + output);
        if (!job.source.bytes && fs::equivalent(job.source.hostName, output, error))
            return usageError(job.source.display + ": the output would overwrite it");
        if (!options.force && fs::symlink_status(output, error).type() != fs::file_type::not_found)
            return usageError(output + " exists; --force replaces it");
    }
    return -1;
}

int checkInputs(const Options &options)
{
    const bool readsStandardInput =
        std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    if (readsStandardInput && isatty(STDIN_FILENO))
        return usageError("'-' reads a module from standard input, which is a terminal");
    return -1;
}

} // namespace kvplay
