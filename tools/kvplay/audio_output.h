// Where rendered frames go: 44100 Hz, 2 channels, signed 16-bit.
//
// - a file whose extension picks the format (.wav, .flac, .ogg, .aiff/.aif),
//   written with libsndfile;
// - "-": a WAV stream on standard output, its length unknown while it is
//   written (the header's sizes say "unknown"; they are filled in afterwards
//   only when standard output can seek, as a redirect to a file can);
// - raw: headerless native 16-bit frames, to a file or to standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kvplay {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Appends `frames` interleaved stereo frames. False on a write error.
    virtual bool write(const int16_t *frames, size_t count) = 0;
    // Completes the file (header sizes, encoder flush). False on an error;
    // the output must not be used afterwards.
    virtual bool finish() = 0;
};

// True when `name`'s extension picks one of the formats above.
bool isAudioFileName(const std::string &name);

// An output writing to `fd` (not owned: it stays open) in the format that
// `name` picks: "-" a WAV stream (fd is ignored; standard output is used),
// otherwise the extension; with `raw`, headerless frames whatever the name.
// The name must pick a format unless `raw`. Null with `error` set when the
// output cannot be started.
std::unique_ptr<AudioOutput> openAudioOutput(int fd, const std::string &name, bool raw, std::string &error);

} // namespace kvplay
