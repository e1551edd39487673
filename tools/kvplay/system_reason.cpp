#include "tools/kvplay/system_reason.h"

#include <cctype>
#include <cerrno>
#include <cstring>

namespace kvplay {

std::string systemReason(int error)
{
    switch (error) {
    case ENOENT:
        return "no such file or folder";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ENOSPC:
        return "the disk is full";
    case EDQUOT:
        return "the disk quota is used up";
    case EROFS:
        return "the file system is read-only";
    case EISDIR:
        return "it is a folder";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case ENAMETOOLONG:
        return "the name is too long";
    case EFBIG:
        return "the file would be too large";
    case EPIPE:
        return "the reader has gone";
    case 0:
        return "unknown error";
    default: {
        std::string text = std::strerror(error);
        if (!text.empty())
            text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
        return text;
    }
    }
}

} // namespace kvplay
