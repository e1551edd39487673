#include "tools/kvplay/summary.h"

#include "tools/kvplay/length_plan.h"

#include <cstdio>

namespace kvplay {

std::string summaryLine(const std::string &input, const std::string &output, const RenderedFile &file)
{
    const std::string songs = std::to_string(file.songs) + (file.songs == 1 ? " song" : " songs");
    return input + " -> " + (output == "-" ? "stdout" : output) + "  " + clockTime(file.frames) + ", " + songs +
           (file.echo ? ", echo" : "");
}

std::string clockTime(uint64_t frames)
{
    const uint64_t tenths = (frames * 10 + OUTPUT_RATE / 2) / OUTPUT_RATE;
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02u.%u", (unsigned long long)(tenths / 600), unsigned(tenths % 600 / 10),
                  unsigned(tenths % 10));
    return text;
}

} // namespace kvplay
