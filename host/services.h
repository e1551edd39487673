// Our stand-in for the Kestrova host's services: memory, files, extension
// registration and tag objects, served through a service record exactly as
// the plug-in expects them.
//
// The host functions take no context, so the state behind them is process
// wide; every service is safe to call from several threads at once.
// Test controls (fail the k-th allocation or read, short reads) apply to the
// whole process until cleared with resetHostControls().
#pragma once

#include "base/host_api.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kvhost {

using dbm::Word;

// A service record of the given interface version, with every table filled.
// The record lives as long as the process.
Word *serviceRecord(int32_t interfaceVersion);

// Memory: zero-filled blocks, counted, and charged to the calling thread's
// budget (memory_budget.h).
size_t outstandingBlocks();
uint64_t allocationCount();          // requests made since the last reset
void failAllocation(uint64_t k);     // the k-th request from now (1-based) returns null; 0: never
void failAllocationsFrom(uint64_t k); // the k-th request and every later one fail
// How many requests so far asked for each count (the first argument of
// allocate): the plug-in asks for count 1 and the size
// in bytes, except for its stream record.
std::map<uint32_t, uint64_t> allocationsByCount();

// Files: read from the operating system, or from memory files registered here
// (looked up by exact name before the file system). What the reads delivered
// is kept per thread (read_trail.h).
void addMemoryFile(const std::string &name, std::vector<uint8_t> bytes);
void removeMemoryFile(const std::string &name);
size_t openFiles();
uint64_t readCount();
void failRead(uint64_t k);          // the k-th read from now returns -1; 0: never
void limitReads(int32_t maxBytes);  // every read delivers at most this many bytes; 0: no limit
void shortenRead(uint64_t k, int32_t bytes); // the k-th read delivers at most `bytes`

// What the plug-in last passed to open or open with tags.
struct OpenCall {
    std::string name;
    int32_t mode = 0;
    bool withTags = false;
    std::vector<Word> tags; // the list as passed, end tag included
};
std::vector<OpenCall> openCalls();

// Registration and tag objects.
struct Registration {
    Word *info;
    int32_t kind;
    std::string name;
    bool unusedIsNull;
    std::string extension;
    int32_t a, b;
};
std::vector<Registration> registrations();
size_t outstandingTagObjects();
// The user tag list copied into a tag object (end tag included).
const std::vector<Word> &tagObjectTags(const void *object);

// Clears the fail/short controls and the recorded calls (not the counts).
void resetHostControls();

} // namespace kvhost
