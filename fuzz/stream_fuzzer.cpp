// Fuzz target: the stream interface as the host drives it. The control bytes
// (fuzz_host.h) give the operations on a stream opened on the module behind
// them: pulls of varied sizes, rewinds, other seeks, reopening; the stream is
// closed at the end. Within the announced length a stream delivers all it is
// asked for or, after a rewind that could not load the song again, nothing.
#include "fuzz/fuzz_host.h"
#include "plugin/stream.h"

using namespace fuzzhost;

namespace {

void *open(bool withTags)
{
    static dbm::Word userTags[] = {0x8000'0001u, 7, 0};
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    if (withTags) {
        format[dbm::FORMAT_ADAPTER] = reinterpret_cast<dbm::Word>("fuzz-adapter");
        format[dbm::FORMAT_USER_TAGS] = reinterpret_cast<dbm::Word>(userTags);
    }
    void *stream = dbm::OpenStream(FILE_NAME, format);
    if (stream && (format[dbm::FORMAT_LENGTH] != 635040000 || format[dbm::FORMAT_CHANNELS] != 2))
        __builtin_trap();
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const unsigned operations = size ? data[0] & 31 : 0;
    if (size < 1 + size_t(operations))
        return 0;
    serve(data + 1 + operations, size - 1 - operations);
    static std::vector<int16_t> out(2 * size_t(100000));
    void *stream = open(data[0] & 0x80);
    uint64_t budget = stream ? TRACK_FRAME_BUDGET / static_cast<dbm::StreamState *>(stream)->module->trackCount : 0;
    uint32_t position = 0; // frames delivered since the last (re)start
    for (unsigned i = 0; i < operations && stream; ++i) {
        const uint8_t op = data[1 + i];
        const uint32_t frames = STREAM_PULLS[op % 16];
        if (op < 0xC0 && frames <= budget) {
            budget -= frames;
            dbm::Word request[dbm::REQUEST_WORDS] = {reinterpret_cast<dbm::Word>(out.data()), frames, 7, 7};
            dbm::StreamSamples(stream, request);
            const dbm::Word written = request[dbm::REQUEST_WRITTEN];
            if ((written != frames && written != 0) || request[dbm::REQUEST_DONE] != 0)
                __builtin_trap();
            position += written;
        } else if (op >= 0xC0 && op < 0xF0) {
            dbm::SeekStream(stream, op < 0xE0 ? 0 : 1 + (op & 15));
            position = op < 0xE0 ? 0 : position;
        } else if (op >= 0xF0) {
            dbm::CloseStream(stream);
            stream = open(data[0] & 0x80);
            position = 0;
        }
        if (stream && static_cast<dbm::StreamState *>(stream)->position != position)
            __builtin_trap();
    }
    dbm::CloseStream(stream);
    checkNothingHeld();
    return 0;
}
