// Turns the reader's error code into the reason kvplay prints for a file.
#pragma once

#include <cstdint>
#include <string>

namespace kvplay {

// The reason for `code` (dbm::LoadError) when loading `path` failed:
// 1 the system's reason for not opening the file (found by opening it here),
// 2 out of memory, 3 damaged or unsupported data ("not a DBM0 module" when
// the file does not start with "DBM0"), 4 the unsupported version number,
// 5 read error, 6 a chunk before INFO. Other codes are named by number.
std::string describeLoadError(int32_t code, const std::string &path);

} // namespace kvplay
