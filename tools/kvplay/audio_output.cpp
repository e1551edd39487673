#include "tools/kvplay/audio_output.h"

#include "tools/kvplay/length_plan.h"
#include "tools/kvplay/system_reason.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kvplay {
namespace {

constexpr int CHANNELS = 2;

// libsndfile format for a file name's extension, 0 if unknown.
int formatFor(const std::string &path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 0;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == "wav")
        return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    if (extension == "flac")
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    if (extension == "ogg")
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    if (extension == "aiff" || extension == "aif")
        return SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    return 0;
}

class SndfileOutput : public AudioOutput {
public:
    explicit SndfileOutput(SNDFILE *file) : file_(file) {}
    ~SndfileOutput() override
    {
        if (file_)
            sf_close(file_);
    }
    bool write(const int16_t *frames, size_t count) override
    {
        return sf_writef_short(file_, frames, sf_count_t(count)) == sf_count_t(count);
    }
    bool finish() override
    {
        int status = sf_close(file_);
        file_ = nullptr;
        return status == 0;
    }

private:
    SNDFILE *file_;
};

// Native frames to a stdio stream; with `wavHeader`, preceded by a WAV
// header and written little-endian.
class StreamOutput : public AudioOutput {
public:
    StreamOutput(std::FILE *file, bool ownFile, bool wavHeader)
        : file_(file), ownFile_(ownFile), wav_(wavHeader)
    {
    }
    ~StreamOutput() override
    {
        if (ownFile_ && file_)
            std::fclose(file_);
    }
    bool start()
    {
        headerAtStart_ = std::ftell(file_) == 0;
        return !wav_ || writeHeader(UNKNOWN_SIZE);
    }
    bool write(const int16_t *frames, size_t count) override
    {
        size_t samples = count * CHANNELS;
        frames_ += count;
        if (!wav_ || littleEndian())
            return std::fwrite(frames, sizeof(int16_t), samples, file_) == samples;
        bytes_.resize(samples * 2);
        for (size_t i = 0; i < samples; ++i) {
            bytes_[2 * i] = uint8_t(uint16_t(frames[i]));
            bytes_[2 * i + 1] = uint8_t(uint16_t(frames[i]) >> 8);
        }
        return std::fwrite(bytes_.data(), 1, bytes_.size(), file_) == bytes_.size();
    }
    bool finish() override
    {
        bool ok = std::fflush(file_) == 0;
        // Fill in the sizes when the stream can seek back (a redirect to a file).
        uint64_t dataBytes = frames_ * CHANNELS * 2;
        if (ok && wav_ && headerAtStart_ && dataBytes <= UNKNOWN_SIZE - 36 &&
            std::fseek(file_, 0, SEEK_SET) == 0)
            ok = writeHeader(uint32_t(dataBytes)) && std::fseek(file_, 0, SEEK_END) == 0;
        else
            std::clearerr(file_);
        if (ownFile_) {
            ok = std::fclose(file_) == 0 && ok;
            file_ = nullptr;
        } else {
            ok = std::fflush(file_) == 0 && ok;
        }
        return ok;
    }

private:
    static constexpr uint32_t UNKNOWN_SIZE = 0xFFFFFFFFu;

    static bool littleEndian()
    {
        const uint16_t one = 1;
        uint8_t first;
        std::memcpy(&first, &one, 1);
        return first == 1;
    }

    bool writeHeader(uint32_t dataBytes)
    {
        std::vector<uint8_t> header;
        auto text = [&](const char *s) { header.insert(header.end(), s, s + 4); };
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                header.push_back(uint8_t(v >> (8 * i)));
        };
        auto u16 = [&](uint16_t v) {
            header.push_back(uint8_t(v));
            header.push_back(uint8_t(v >> 8));
        };
        text("RIFF");
        u32(dataBytes == UNKNOWN_SIZE ? UNKNOWN_SIZE : dataBytes + 36);
        text("WAVE");
        text("fmt ");
        u32(16);
        u16(1); // integer PCM
        u16(CHANNELS);
        u32(OUTPUT_RATE);
        u32(OUTPUT_RATE * CHANNELS * 2);
        u16(CHANNELS * 2);
        u16(16);
        text("data");
        u32(dataBytes);
        return std::fwrite(header.data(), 1, header.size(), file_) == header.size();
    }

    std::FILE *file_;
    bool ownFile_;
    bool wav_;
    bool headerAtStart_ = false; // the header is at offset 0 of a seekable file
    uint64_t frames_ = 0;
    std::vector<uint8_t> bytes_;
};

} // namespace

bool isAudioFileName(const std::string &name)
{
    return formatFor(name) != 0;
}

std::unique_ptr<AudioOutput> openAudioOutput(int fd, const std::string &name, bool raw, std::string &error)
{
    if (name == "-" || raw) {
        const int own = name == "-" ? -1 : dup(fd);
        std::FILE *file = name == "-" ? stdout : own >= 0 ? fdopen(own, "wb") : nullptr;
        if (!file) {
            error = "cannot write " + name + ": " + systemReason(errno);
            if (own >= 0)
                close(own);
            return nullptr;
        }
        auto output = std::make_unique<StreamOutput>(file, name != "-", !raw);
        if (!output->start()) {
            error = "cannot write " + name + ": " + systemReason(errno);
            return nullptr;
        }
        return output;
    }
    SF_INFO info{};
    info.samplerate = OUTPUT_RATE;
    info.channels = CHANNELS;
    info.format = formatFor(name);
    SNDFILE *file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file) {
        error = "cannot write " + name + ": " + systemReason(errno);
        return nullptr;
    }
    return std::make_unique<SndfileOutput>(file);
}

} // namespace kvplay
