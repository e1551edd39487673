#include "plugin/stream.h"

#include "base/host_services.h"
#include "engine/lifecycle.h"
#include "module/loader.h"

#include <cstring>
#include <new>

namespace dbm {

namespace {

const char MAGIC[4] = {'D', 'B', 'M', '0'};
// Hosts newer than 8 understand the flag of value 8.
constexpr uint32_t FLAGS_ALWAYS = 3;
constexpr uint32_t FLAG_NEWER_HOSTS = 8;

// Length of `text` when it is shorter than `limit`, else `limit`.
size_t boundedLength(const char *text, size_t limit)
{
    size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n;
}

const char *adapterOf(const StreamState *stream)
{
    return stream->adapterName[0] != '\0' ? stream->adapterName : nullptr;
}

bool hasMagic(const char *fileName, const StreamState *stream)
{
    void *file = openFile(fileName, 0, adapterOf(stream), stream->tagObject);
    if (!file)
        return false;
    char head[4] = {};
    const int32_t got = hostRead(file, head, 4);
    hostClose(file);
    return got == 4 && std::memcmp(head, MAGIC, 4) == 0;
}

bool loadSong(StreamState *stream)
{
    stream->module = loadModule(stream->fileName, nullptr, adapterOf(stream), stream->tagObject);
    if (!stream->module)
        return false;
    stream->engine = createStreamEngine(stream->module);
    return stream->engine != nullptr;
}

// Releases everything the stream holds; the engine goes first because its
// tear-down reads the module's track count.
void releaseStream(StreamState *stream)
{
    destroyEngine(stream->engine);
    freeModule(stream->module);
    if (stream->tagObject)
        hostFreeTagObject(stream->tagObject);
    hostFree(stream);
}

} // namespace

extern "C" void *OpenStream(const char *file, Word *format)
{
    if (!file || !format || boundedLength(file, STREAM_FILE_NAME_BYTES) >= STREAM_FILE_NAME_BYTES)
        return nullptr;
    void *block = hostAllocate(static_cast<uint32_t>(sizeof(StreamState)), 1);
    if (!block)
        return nullptr;
    StreamState *stream = new (block) StreamState();

    const int32_t interfaceVersion = hostInterfaceVersion();
    if (interfaceVersion > 5 && format[FORMAT_ADAPTER]) {
        const char *adapter = reinterpret_cast<const char *>(format[FORMAT_ADAPTER]);
        const size_t length = boundedLength(adapter, STREAM_ADAPTER_NAME_BYTES);
        if (length >= STREAM_ADAPTER_NAME_BYTES) {
            hostFree(stream);
            return nullptr;
        }
        std::memcpy(stream->adapterName, adapter, length);
    }
    if (interfaceVersion > 9 && format[FORMAT_USER_TAGS]) {
        stream->tagObject = hostMakeTagObject(reinterpret_cast<Word *>(format[FORMAT_USER_TAGS]));
        if (!stream->tagObject) {
            hostFree(stream);
            return nullptr;
        }
    }
    if (!hasMagic(file, stream)) {
        releaseStream(stream);
        return nullptr;
    }
    std::memcpy(stream->fileName, file, boundedLength(file, STREAM_FILE_NAME_BYTES));
    if (!loadSong(stream)) {
        releaseStream(stream);
        return nullptr;
    }

    stream->totalFrames = STREAM_TOTAL_FRAMES;
    format[FORMAT_LENGTH] = STREAM_TOTAL_FRAMES;
    format[FORMAT_CHANNELS] = 2;
    format[FORMAT_BITS] = 16;
    format[FORMAT_FREQUENCY] = STREAM_RATE;
    format[FORMAT_FLAGS] |= FLAGS_ALWAYS;
    if (pluginGlobals.hostVersion > 8)
        format[FORMAT_FLAGS] |= FLAG_NEWER_HOSTS;
    return stream;
}

extern "C" void CloseStream(void *handle)
{
    if (handle)
        releaseStream(static_cast<StreamState *>(handle));
}

extern "C" void SeekStream(void *handle, uint32_t frame)
{
    StreamState *stream = static_cast<StreamState *>(handle);
    if (!stream || frame != 0 || stream->position == 0)
        return;
    destroyEngine(stream->engine);
    stream->engine = nullptr;
    freeModule(stream->module);
    stream->module = nullptr;
    loadSong(stream); // on failure the stream keeps what was obtained and stays silent
    stream->position = 0;
}

extern "C" int32_t StreamSamples(void *handle, Word *request)
{
    if (!request)
        return 0;
    request[REQUEST_WRITTEN] = 0;
    request[REQUEST_DONE] = 0;
    StreamState *stream = static_cast<StreamState *>(handle);
    if (request[REQUEST_FRAMES] == 0 || !stream || !stream->engine)
        return 0;

    int16_t *out = reinterpret_cast<int16_t *>(request[REQUEST_BUFFER]);
    const uint32_t n = renderRequest(stream->engine, static_cast<uint32_t>(request[REQUEST_FRAMES]), out,
                                     stream->totalFrames - stream->position);
    stream->position += n;
    request[REQUEST_WRITTEN] = n;
    if (stream->position >= stream->totalFrames) {
        // The piece that reached the end was rendered whole; its excess
        // frames stay in the buffer beyond `written`.
        request[REQUEST_WRITTEN] -= stream->position - stream->totalFrames;
        stream->position = stream->totalFrames;
        request[REQUEST_DONE] = 1;
    }
    return 0;
}

} // namespace dbm
