// Fuzz target: the stream interface as the host drives it. The control bytes
// (input_layout.h) give the operations on a stream opened on the module
// behind them: pulls of varied sizes, rewinds, other seeks, reopening; the
// stream is closed at the end.
#include "fuzz/fuzz_host.h"
#include "fuzz/input_layout.h"
#include "plugin/stream.h"

#include <vector>

using namespace fuzzinput;

namespace {

const char ADAPTER[] = "fuzz-adapter";

void *open(bool withTags)
{
    static dbm::Word userTags[] = {0x8000'0001u, 7, 0};
    dbm::Word format[dbm::FORMAT_WORDS] = {};
    if (withTags) {
        format[dbm::FORMAT_ADAPTER] = reinterpret_cast<dbm::Word>(ADAPTER);
        format[dbm::FORMAT_USER_TAGS] = reinterpret_cast<dbm::Word>(userTags);
    }
    void *stream = dbm::OpenStream(fuzzhost::FILE_NAME, format);
    if (stream && (format[dbm::FORMAT_LENGTH] != 635040000 || format[dbm::FORMAT_CHANNELS] != 2))
        __builtin_trap();
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const unsigned operations = data[0] & STREAM_MAX_OPERATIONS;
    const bool withTags = (data[0] & STREAM_WITH_TAGS) != 0;
    if (size < 1 + size_t(operations))
        return 0;
    const uint8_t *script = data + 1;
    fuzzhost::serve(data + 1 + operations, size - 1 - operations);

    static std::vector<int16_t> out(2 * size_t(100000));
    void *stream = open(withTags);
    uint64_t budget = 0;
    if (stream)
        budget = TRACK_FRAME_BUDGET / static_cast<dbm::StreamState *>(stream)->module->trackCount;
    uint32_t position = 0; // frames delivered since the last (re)start
    for (unsigned i = 0; i < operations && stream; ++i) {
        const uint8_t op = script[i];
        if (op < STREAM_REWIND) {
            const uint32_t frames = STREAM_PULLS[op % 16];
            if (frames > budget)
                continue;
            budget -= frames;
            dbm::Word request[dbm::REQUEST_WORDS] = {reinterpret_cast<dbm::Word>(out.data()), frames, 7, 7};
            dbm::StreamSamples(stream, request);
            // Within the announced length a stream delivers all or nothing
            // (nothing only when a rewind could not load the song again).
            const dbm::Word written = request[dbm::REQUEST_WRITTEN];
            if ((written != frames && written != 0) || request[dbm::REQUEST_DONE] != 0)
                __builtin_trap();
            position += written;
        } else if (op < STREAM_SEEK_ELSEWHERE) {
            dbm::SeekStream(stream, 0);
            position = 0;
        } else if (op < STREAM_REOPEN) {
            dbm::SeekStream(stream, 1 + (op & 15));
        } else {
            dbm::CloseStream(stream);
            stream = open(withTags);
            position = 0;
        }
        if (stream && static_cast<dbm::StreamState *>(stream)->position != position)
            __builtin_trap();
    }
    dbm::CloseStream(stream);
    fuzzhost::checkNothingHeld();
    return 0;
}
