#include "tools/kvplay/load_error.h"

#include "host/memory_budget.h"
#include "module/loader.h"
#include "tools/kvplay/system_reason.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvplay {
namespace {

// What kvplay needs to know of the file behind a source.
class FileLook {
public:
    explicit FileLook(const ModuleSource &source) : source_(source)
    {
        struct stat status;
        if (source.bytes) {
            size_ = source.bytes->size();
        } else if (stat(source.hostName.c_str(), &status) == 0) {
            folder_ = S_ISDIR(status.st_mode);
            size_ = uint64_t(status.st_size);
            file_ = std::fopen(source.hostName.c_str(), "rb");
        }
    }
    ~FileLook()
    {
        if (file_)
            std::fclose(file_);
    }
    FileLook(const FileLook &) = delete;
    FileLook &operator=(const FileLook &) = delete;

    bool folder() const { return folder_; }
    uint64_t size() const { return size_; }

    // Bytes [offset, offset + count) as far as the file has them; how many.
    size_t read(uint64_t offset, uint8_t *out, size_t count) const
    {
        if (source_.bytes) {
            size_t n = offset < size_ ? size_t(std::min<uint64_t>(count, size_ - offset)) : 0;
            std::copy_n(source_.bytes->data() + offset, n, out);
            return n;
        }
        if (!file_ || std::fseek(file_, long(offset), SEEK_SET) != 0)
            return 0;
        return std::fread(out, 1, count, file_);
    }

    bool startsLikeAModule() const
    {
        uint8_t magic[4];
        return read(0, magic, 4) == 4 && std::memcmp(magic, "DBM0", 4) == 0;
    }

    // The id of the chunk that holds byte offset `end` - 1: where reading
    // stopped, since the reader reads front to back and never past a chunk.
    std::string chunkEndingAt(uint64_t end) const
    {
        std::string id = "?";
        for (uint64_t start = 8; start < end;) {
            uint8_t head[8];
            size_t got = read(start, head, 8);
            if (got < 4)
                break;
            id.clear();
            for (int i = 0; i < 4; ++i)
                id += head[i] >= 0x20 && head[i] < 0x7F ? char(head[i]) : '?';
            uint64_t length = got == 8 ? uint64_t(head[4]) << 24 | head[5] << 16 | head[6] << 8 | head[7] : 0;
            start += 8 + length;
        }
        return id;
    }

private:
    const ModuleSource &source_;
    std::FILE *file_ = nullptr;
    bool folder_ = false;
    uint64_t size_ = 0;
};

std::string limitText(uint64_t bytes)
{
    if (bytes % (uint64_t(1) << 30) == 0)
        return std::to_string(bytes >> 30) + "G";
    if (bytes % (uint64_t(1) << 20) == 0)
        return std::to_string(bytes >> 20) + "M";
    return std::to_string(bytes) + " bytes";
}

std::string openFailure(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return errno == ENOENT ? "no such file" : systemReason(errno);
    std::fclose(file);
    return "cannot be opened";
}

} // namespace

std::string outOfMemory(bool overBudget)
{
    return overBudget ? "out of memory: it asks for more than the limit of " + limitText(kvhost::memoryBudget()) +
                            " (--memory-limit)"
                      : "out of memory";
}

std::string describeLoadError(int32_t code, const ModuleSource &source, const kvhost::ReadTrail &trail,
                              bool overBudget)
{
    const FileLook file(source);
    const std::string chunk = "\"" + file.chunkEndingAt(trail.delivered) + "\"";
    switch (code) {
    case dbm::LOAD_ERROR_OPEN:
        return openFailure(source.hostName);
    case dbm::LOAD_ERROR_MEMORY:
        return outOfMemory(overBudget);
    case dbm::LOAD_ERROR_DATA:
        if (!file.startsLikeAModule())
            return "not a DBM0 module";
        if (trail.ended)
            return "damaged: parts are missing or do not fit together";
        return "damaged at chunk " + chunk;
    case dbm::LOAD_ERROR_VERSION: {
        uint8_t version = 0;
        if (file.size() < 8 || file.read(4, &version, 1) != 1)
            return "too short to be a DBM0 module";
        return "format version " + std::to_string(version) + " is not supported (only 2 and 3)";
    }
    case dbm::LOAD_ERROR_READ:
        if (file.folder())
            return "not a file";
        if (file.size() == 0)
            return "empty";
        if (trail.ended && trail.delivered >= file.size())
            return file.size() < 8 ? "too short to be a DBM0 module"
                                   : "damaged: the file ends inside chunk " + chunk;
        return "read error";
    case dbm::LOAD_ERROR_ORDER:
        return "damaged: chunk " + chunk + " comes before INFO";
    default:
        return "cannot be loaded (error " + std::to_string(code) + ")";
    }
}

} // namespace kvplay
