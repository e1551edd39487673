// Where a module comes from: a file the host opens by its path, or bytes
// kvplay read beforehand and our host serves from memory (standard input,
// pipes and other files that cannot be read twice, the built-in demo). The
// module is read twice, once by kvplay's own core and once by the plug-in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvplay {

struct ModuleSource {
    std::string hostName; // what the host opens: the path, or a memory file's name
    std::string display;  // the name in messages: the path, "stdin" or "demo"
    std::shared_ptr<const std::vector<uint8_t>> bytes; // null: hostName is a path on disk
    std::string problem;  // non-empty: the source could not be read, and why
};

// The source for the command-line argument `path` ("-": standard input), the
// `index`-th of the batch. What is read into memory may take at most `limit`
// bytes; a larger input gets a problem instead.
ModuleSource moduleSource(const std::string &path, unsigned index, uint64_t limit);

// The built-in demo module.
ModuleSource demoSource();

} // namespace kvplay
