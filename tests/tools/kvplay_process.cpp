#include "tests/tools/kvplay_process.h"

#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kvplaytest {
namespace {

std::string slurp(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

Workspace::Workspace()
{
    static std::atomic<unsigned> serial{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("kvplay-test-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    std::filesystem::create_directories(dir_);
}

Workspace::~Workspace()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void Workspace::write(const std::string &name, const std::vector<uint8_t> &bytes) const
{
    std::ofstream out(path(name), std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

void Workspace::write(const std::string &name, const modwriter::ModuleSpec &desc) const
{
    write(name, modwriter::write(desc));
}

std::vector<uint8_t> Workspace::read(const std::string &name) const
{
    std::string bytes = slurp(path(name));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool Workspace::exists(const std::string &name) const
{
    return std::filesystem::exists(path(name));
}

Outcome Workspace::kvplay(const std::string &arguments, const std::string &pipe) const
{
    const std::string out = (dir_ / ".stdout").string(), err = (dir_ / ".stderr").string();
    std::string command = "cd '" + dir_.string() + "' && '" KVPLAY_PATH "' " + arguments;
    if (pipe.empty())
        command += " > '" + out + "'";
    else
        command += (pipe[0] == '>' ? " " : " | ") + pipe;
    command += " 2> '" + err + "'";
    if (!pipe.empty())
        command = "set -o pipefail 2>/dev/null; " + command;
    int raw = std::system(("bash -c \"" + command + "\"").c_str());
    Outcome run;
    if (raw != -1 && WIFEXITED(raw))
        run.status = WEXITSTATUS(raw);
    run.output = slurp(out);
    run.errors = slurp(err);
    return run;
}

Audio Workspace::audio(const std::string &name) const
{
    Audio audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path(name).c_str(), SFM_READ, &info);
    if (!file)
        return audio;
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    std::vector<int16_t> block(4096 * size_t(info.channels ? info.channels : 1));
    for (sf_count_t got; (got = sf_read_short(file, block.data(), sf_count_t(block.size()))) > 0;)
        audio.samples.insert(audio.samples.end(), block.begin(), block.begin() + got);
    sf_close(file);
    audio.ok = true;
    return audio;
}

modwriter::ModuleSpec shortModule(bool looped)
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(4);
    desc.patterns[0].rows = 16;
    if (!looped) {
        desc.instruments[0].flags = 0;
        desc.instruments[0].loopLength = 0;
    }
    return desc;
}

} // namespace kvplaytest
