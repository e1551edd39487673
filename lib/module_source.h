// Where a player's module comes from: a file named by a path, a block of
// memory or the caller's read function. The library's file service reads
// the module through one of these while the reader loads it.
//
// Contract: the source outlives the load; open is called at most once per
// load, then reads, then close (close only after a successful open).
#pragma once

#include "dbmplay.h"

#include <cstdint>
#include <cstdio>

namespace dbmplay {

struct ModuleSource {
    enum Kind { PATH, MEMORY, READER } kind;
    const char *path;          // PATH
    std::FILE *file;           // PATH, while open
    const uint8_t *data;       // MEMORY
    size_t size;               // MEMORY
    size_t offset;             // MEMORY: bytes already read
    dbmplay_read_function read; // READER
    void *user;                // READER
};

ModuleSource pathSource(const char *path);
ModuleSource memorySource(const void *data, size_t size);
ModuleSource readerSource(dbmplay_read_function read, void *user);

// True when the source could be opened (a path: the file exists and is readable).
bool openSource(ModuleSource &source);
// Up to `length` (> 0) bytes into `buffer`: the count placed, 0 at the end,
// -1 on an error (a read function that claims more than it was asked for
// counts as one).
int32_t readSource(ModuleSource &source, void *buffer, int32_t length);
void closeSource(ModuleSource &source);

} // namespace dbmplay
