#include "tools/kvplay/output_file.h"

#include "tools/kvplay/system_reason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

namespace kvplay {
namespace {

// Temporary files not yet renamed or removed. The lock also orders a commit's
// rename against the signal watcher's removal.
std::mutex unfinishedLock;
std::set<std::string> unfinished;

// The mode a new file gets from the user's umask (mkstemp makes 0600),
// read once before main starts any thread.
const mode_t NEW_FILE_MODE = [] {
    mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666 & ~mask);
}();

std::string writeError(const std::string &target, int error)
{
    return "cannot write " + target + ": " + (error == ENOENT ? "no such folder" : systemReason(error));
}

// Renames without replacing an existing target where the file system
// supports it; elsewhere checks first.
int renameKeepingTarget(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    struct stat existing;
    if (lstat(to, &existing) == 0)
        return EEXIST;
    return std::rename(from, to) == 0 ? 0 : errno;
}

} // namespace

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::create(const std::string &target, std::string &error)
{
    std::filesystem::path path(target);
    std::filesystem::path folder = path.parent_path();
    std::string pattern =
        (folder / ("." + path.filename().string() + ".kvplay-XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    std::lock_guard<std::mutex> guard(unfinishedLock);
    fd_ = mkstemp(name.data());
    if (fd_ < 0) {
        error = writeError(target, errno);
        return false;
    }
    target_ = target;
    temporary_ = name.data();
    unfinished.insert(temporary_);
    return true;
}

bool OutputFile::commit(bool replace, std::string &error)
{
    int failure = 0;
    if (fchmod(fd_, NEW_FILE_MODE) != 0 || fsync(fd_) != 0)
        failure = errno;
    if (close(fd_) != 0 && !failure)
        failure = errno;
    fd_ = -1;
    if (!failure) {
        std::lock_guard<std::mutex> guard(unfinishedLock);
        failure = replace ? (std::rename(temporary_.c_str(), target_.c_str()) == 0 ? 0 : errno)
                          : renameKeepingTarget(temporary_.c_str(), target_.c_str());
        if (!failure) {
            unfinished.erase(temporary_);
            temporary_.clear();
            return true;
        }
    }
    error = failure == EEXIST ? target_ + " appeared while it was rendered; kept it (--force replaces it)"
                              : writeError(target_, failure);
    discard();
    return false;
}

void OutputFile::discard()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (temporary_.empty())
        return;
    std::lock_guard<std::mutex> guard(unfinishedLock);
    unlink(temporary_.c_str());
    unfinished.erase(temporary_);
    temporary_.clear();
}

void discardUnfinishedOutputs()
{
    unfinishedLock.lock(); // never released: the process ends next
    for (const std::string &name : unfinished)
        unlink(name.c_str());
}

} // namespace kvplay
