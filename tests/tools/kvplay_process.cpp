#include "tests/tools/kvplay_process.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kvplaytest {

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
    std::filesystem::remove(dir_.string() + ".out", ignored);
    std::filesystem::remove(dir_.string() + ".err", ignored);
}

void Workspace::write(const std::string &name, const std::vector<uint8_t> &bytes) const
{
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> Workspace::read(const std::string &name) const
{
    std::ifstream in(path(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Workspace::names() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

pid_t Workspace::start(const std::string &arguments, const std::string &input) const
{
    std::istringstream words(arguments);
    std::vector<std::string> args{KVPLAY_PATH}, environment;
    for (std::string word; words >> word;)
        (args.size() == 1 && word.find('=') != std::string::npos ? environment : args).push_back(word);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string in = input.empty() ? "/dev/null" : path(input).string();
    const std::string out = dir_.string() + ".out", err = dir_.string() + ".err";
    pid_t child = fork();
    if (child == 0) {
        const int mode = O_WRONLY | O_CREAT | O_TRUNC;
        for (std::string &setting : environment)
            putenv(setting.data());
        if (chdir(dir_.c_str()) == 0 && dup2(open(in.c_str(), O_RDONLY), 0) == 0 &&
            dup2(open(out.c_str(), mode, 0644), 1) == 1 && dup2(open(err.c_str(), mode, 0644), 2) == 2)
            execv(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

Outcome Workspace::finish(pid_t child) const
{
    Outcome run;
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        run.peakKiB = usage.ru_maxrss;
    }
    auto slurp = [](const std::string &file) {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    run.output = slurp(dir_.string() + ".out");
    run.errors = slurp(dir_.string() + ".err");
    return run;
}

Audio Workspace::audio(const std::string &name) const
{
    Audio audio;
    SF_INFO info{};
    SNDFILE *file = sf_open(path(name).c_str(), SFM_READ, &info);
    if (!file)
        return audio;
    audio.channels = info.channels;
    audio.samples.resize(size_t(info.frames) * size_t(info.channels));
    audio.samples.resize(size_t(sf_read_short(file, audio.samples.data(), sf_count_t(audio.samples.size()))));
    sf_close(file);
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
