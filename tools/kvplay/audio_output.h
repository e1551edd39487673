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

// Opens the output at `path` ("-" for standard output). Null with `error`
// set when the format is unknown or the file cannot be created.
std::unique_ptr<AudioOutput> openAudioOutput(const std::string &path, bool raw, std::string &error);

} // namespace kvplay
