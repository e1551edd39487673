// Test helpers for running kvplay as a process: a fresh working folder per
// test, a runner that captures the exit status, standard output and
// standard error, and audio files read back with libsndfile.
#pragma once

#include "tools/modwriter/modwriter.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvplaytest {

struct Outcome {
    int status = -1;       // exit status; -1 when kvplay did not exit normally
    std::string output;    // standard output
    std::string errors;    // standard error
};

struct Audio {
    bool ok = false;
    int rate = 0, channels = 0, format = 0; // libsndfile's SF_INFO values
    std::vector<int16_t> samples;           // interleaved
    size_t frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};

class Workspace {
public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    std::filesystem::path path(const std::string &name) const { return dir_ / name; }
    void write(const std::string &name, const std::vector<uint8_t> &bytes) const;
    void write(const std::string &name, const modwriter::ModuleSpec &desc) const;
    std::vector<uint8_t> read(const std::string &name) const;
    bool exists(const std::string &name) const;

    // Runs kvplay with `arguments` (shell words) in this folder; with `pipe`,
    // its standard output goes through that shell command instead, or to the
    // redirect when `pipe` starts with '>'.
    Outcome kvplay(const std::string &arguments, const std::string &pipe = "") const;

    Audio audio(const std::string &name) const;

private:
    std::filesystem::path dir_;
};

// A short module: the minimal module with 16 rows; `looped` keeps its voice
// sounding after the song's end, otherwise the 32-frame sample ends at once.
modwriter::ModuleSpec shortModule(bool looped);

} // namespace kvplaytest
