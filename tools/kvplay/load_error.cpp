#include "tools/kvplay/load_error.h"

#include "module/loader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvplay {
namespace {

// Reads the first five bytes of the file (magic and version): how many
// were read, or -1 when the file cannot be opened here.
long readHead(const std::string &path, unsigned char (&head)[5])
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return -1;
    size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return long(got);
}

} // namespace

std::string describeLoadError(int32_t code, const std::string &path)
{
    unsigned char head[5] = {};
    switch (code) {
    case dbm::LOAD_ERROR_OPEN: {
        std::FILE *file = std::fopen(path.c_str(), "rb");
        if (!file)
            return std::string("cannot open: ") + std::strerror(errno);
        std::fclose(file);
        return "cannot open";
    }
    case dbm::LOAD_ERROR_MEMORY:
        return "out of memory";
    case dbm::LOAD_ERROR_DATA: {
        long got = readHead(path, head);
        if (got >= 0 && (got < 4 || std::memcmp(head, "DBM0", 4) != 0))
            return "not a DBM0 module";
        return "damaged or unsupported data";
    }
    case dbm::LOAD_ERROR_VERSION:
        if (readHead(path, head) == 5)
            return "unsupported format version " + std::to_string(head[4]);
        return "unsupported format version";
    case dbm::LOAD_ERROR_READ:
        return "read error";
    case dbm::LOAD_ERROR_ORDER:
        return "damaged: a chunk comes before INFO";
    default:
        return "cannot load (error " + std::to_string(code) + ")";
    }
}

} // namespace kvplay
