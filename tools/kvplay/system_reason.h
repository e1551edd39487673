// The operating system's error numbers in the words kvplay prints.
#pragma once

#include <string>

namespace kvplay {

// "permission denied", "the disk is full", "it is a folder", ...; ENOENT is
// "no such file or folder" (callers that know which one say so themselves).
std::string systemReason(int error);

} // namespace kvplay
