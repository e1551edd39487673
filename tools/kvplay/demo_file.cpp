#include "tools/kvplay/demo_file.h"

#include "tools/demo/embedded_demo.h"
#include "tools/kvplay/output_file.h"
#include "tools/kvplay/system_reason.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace kvplay {
namespace {

bool writeAll(int fd, const uint8_t *bytes, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

int writeDemoFile(const Options &options)
{
    std::error_code error;
    if (!options.force && std::filesystem::symlink_status(options.writeDemo, error).type() !=
                              std::filesystem::file_type::not_found)
        return usageError(options.writeDemo + " exists; --force replaces it");
    OutputFile file;
    std::string reason;
    bool ok = file.create(options.writeDemo, reason);
    if (ok && !writeAll(file.descriptor(), demo::EMBEDDED_MODULE, demo::EMBEDDED_MODULE_SIZE)) {
        reason = "cannot write " + options.writeDemo + ": " + systemReason(errno);
        ok = false;
    }
    if (ok && file.commit(options.force, reason))
        return 0;
    std::fprintf(stderr, "kvplay: %s\n", reason.c_str());
    return 1;
}

} // namespace kvplay
