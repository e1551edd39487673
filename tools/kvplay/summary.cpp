#include "tools/kvplay/summary.h"

#include "tools/kvplay/length_plan.h"

#include <cstdio>

namespace kvplay {

std::string summaryLine(const std::string &input, const std::string &output, const RenderedFile &file)
{
    const uint64_t tenths = (file.frames * 10 + OUTPUT_RATE / 2) / OUTPUT_RATE;
    char length[64];
    std::snprintf(length, sizeof length, "%llu:%02u.%u, %u song%s", (unsigned long long)(tenths / 600),
                  unsigned(tenths % 600 / 10), unsigned(tenths % 10), file.songs, file.songs == 1 ? "" : "s");
    return input + " -> " + (output == "-" ? "stdout" : output) + "  " + length + (file.echo ? ", echo" : "");
}

} // namespace kvplay
