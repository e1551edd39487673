#include "tools/kvplay/stream_plugin.h"

namespace kvplay {

bool StreamPlugin::start(const std::string &path, std::string &error)
{
    if (!host_.start(path)) {
        error = host_.message();
        return false;
    }
    open_ = host_.operation<dbm::OpenStreamFn>("OpenStream");
    samples_ = host_.operation<dbm::StreamSamplesFn>("StreamSamples");
    seek_ = host_.operation<dbm::SeekStreamFn>("SeekStream");
    close_ = host_.operation<dbm::CloseStreamFn>("CloseStream");
    if (!open_ || !samples_ || !seek_ || !close_) {
        error = path + ": the plug-in has no audio stream operations";
        host_.unload();
        return false;
    }
    return true;
}

std::string StreamPlugin::identity() const
{
    const dbm::Word *info = host_.info();
    const char *name = reinterpret_cast<const char *>(info[dbm::INFO_NAME]);
    return std::string(name ? name : "(unnamed)") + ", version " +
           std::to_string(info[dbm::INFO_PLUGIN_VERSION]) + ", revision " +
           std::to_string(info[dbm::INFO_PLUGIN_REVISION]);
}

void *StreamPlugin::open(const std::string &file) const
{
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    void *stream = open_(file.c_str(), format);
    if (stream && (format[dbm::FORMAT_CHANNELS] != 2 || format[dbm::FORMAT_BITS] != 16 ||
                   format[dbm::FORMAT_FREQUENCY] != 44100)) {
        close_(stream); // not the one format kvplay writes
        return nullptr;
    }
    return stream;
}

uint32_t StreamPlugin::pull(void *stream, int16_t *buffer, uint32_t frames) const
{
    uint32_t delivered = 0;
    while (delivered < frames) {
        dbm::Word request[dbm::REQUEST_WORDS] = {};
        request[dbm::REQUEST_BUFFER] = reinterpret_cast<dbm::Word>(buffer + 2 * size_t(delivered));
        request[dbm::REQUEST_FRAMES] = frames - delivered;
        samples_(stream, request);
        delivered += uint32_t(request[dbm::REQUEST_WRITTEN]);
        if (request[dbm::REQUEST_DONE] || request[dbm::REQUEST_WRITTEN] == 0)
            break;
    }
    return delivered;
}

void StreamPlugin::rewind(void *stream) const
{
    seek_(stream, 0);
}

void StreamPlugin::close(void *stream) const
{
    close_(stream);
}

} // namespace kvplay
