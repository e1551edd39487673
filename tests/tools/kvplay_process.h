// Running kvplay as a user does: a process in a fresh folder of its own,
// with its exit status, its two outputs, its peak memory, and the audio
// files it wrote read back with libsndfile.
#pragma once

#include "tools/modwriter/modwriter.h"

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvplaytest {

struct Outcome {
    int status = -1;    // exit status; -1 when a signal ended kvplay
    int signal = 0;     // the signal that ended it
    std::string output; // standard output
    std::string errors; // standard error
    long peakKiB = 0;   // largest resident size (ru_maxrss)
};

struct Audio {
    int channels = 0;
    std::vector<int16_t> samples; // interleaved
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
    void write(const std::string &name, const modwriter::ModuleSpec &desc) const { write(name, modwriter::write(desc)); }
    std::vector<uint8_t> read(const std::string &name) const;
    std::vector<std::string> names() const; // the folder's entries, sorted

    bool exists(const std::string &name) const { return std::filesystem::exists(path(name)); }

    // kvplay with `arguments` (words split at spaces) in this folder; leading
    // NAME=value words set its environment, as a shell does; its standard
    // input is the file `input` of the folder, or none.
    Outcome kvplay(const std::string &arguments, const std::string &input = "") const
    {
        return finish(start(arguments, input));
    }
    pid_t start(const std::string &arguments, const std::string &input = "") const;
    Outcome finish(pid_t child) const;

    Audio audio(const std::string &name) const;

private:
    std::filesystem::path dir_;
};

// The minimal module with 16 rows. At speed 6 and tempo 125 (882-frame
// ticks) its song lasts the 16 rows, row 0 played once more after the end
// of the order list, and the tick that finds the stop: 103 ticks, 90846
// frames (2.06 s). `looped` keeps its voice sounding after the song's end;
// otherwise the 32-frame sample ends at once.
modwriter::ModuleSpec shortModule(bool looped);

} // namespace kvplaytest
