#include "bench/stream_player.h"

#include "base/host_api.h"
#include "base/host_services.h"
#include "host/services.h"
#include "plugin/stream.h"

namespace benchmodules {

StreamPlayer::StreamPlayer(const std::string &name, const std::vector<uint8_t> &bytes)
    : name_(name)
{
    if (!dbm::pluginGlobals.host) {
        dbm::pluginGlobals.host = kvhost::serviceRecord(10);
        dbm::pluginGlobals.hostVersion = 10;
    }
    kvhost::addMemoryFile(name_, bytes);
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    stream_ = dbm::OpenStream(name_.c_str(), format);
}

StreamPlayer::~StreamPlayer()
{
    dbm::CloseStream(stream_);
    kvhost::removeMemoryFile(name_);
}

uint32_t StreamPlayer::request(int16_t *out, uint32_t frames)
{
    dbm::Word request[dbm::REQUEST_WORDS] = {reinterpret_cast<dbm::Word>(out), frames, 0, 0};
    dbm::StreamSamples(stream_, request);
    return static_cast<uint32_t>(request[dbm::REQUEST_WRITTEN]);
}

void appendLittleEndian(std::vector<uint8_t> &bytes, const int16_t *values, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint16_t v = static_cast<uint16_t>(values[i]);
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
    }
}

} // namespace benchmodules
