#include "host/services.h"

#include "host/memory_budget.h"
#include "host/read_trail.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace kvhost {

namespace {

struct HostFile {
    std::FILE *stream = nullptr;           // a file of the system, or
    std::shared_ptr<const std::vector<uint8_t>> memory; // a memory file
    size_t offset = 0;
};

struct TagObject {
    std::vector<Word> tags;
};

struct State {
    std::mutex lock;
    size_t blocks = 0;
    uint64_t allocations = 0;
    uint64_t failAllocationAt = 0;
    bool failAllocationsAfter = false;
    std::map<uint32_t, uint64_t> byCount;
    std::map<std::string, std::shared_ptr<const std::vector<uint8_t>>> memoryFiles;
    size_t files = 0;
    uint64_t reads = 0;
    uint64_t failReadAt = 0;
    int32_t readLimit = 0;
    uint64_t shortReadAt = 0;
    int32_t shortReadBytes = 0;
    std::vector<OpenCall> opens;
    std::vector<Registration> registered;
    size_t tagObjects = 0;
};

State &state()
{
    static State s;
    return s;
}

extern "C" void *hostAllocate(uint32_t count, uint32_t size)
{
    State &s = state();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        ++s.allocations;
        ++s.byCount[count];
        if (s.failAllocationAt != 0 && (s.allocations == s.failAllocationAt ||
                                        (s.failAllocationsAfter && s.allocations > s.failAllocationAt)))
            return nullptr;
    }
    // No block can be larger than a 32-bit host could give.
    uint64_t bytes = uint64_t(count) * size;
    if (bytes > UINT32_MAX)
        return nullptr;
    void *block = allocateCharged(bytes);
    if (block) {
        std::lock_guard<std::mutex> guard(s.lock);
        ++s.blocks;
    }
    return block;
}

extern "C" void hostFreeBlock(void *block)
{
    if (!block)
        return;
    releaseCharged(block);
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    --s.blocks;
}

extern "C" int32_t hostRegisterExtension(Word *info, int32_t kind, const char *name, const char *unused,
                                         const char *extension, int32_t a, int32_t b)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.registered.push_back(Registration{info, kind, name ? name : "", unused == nullptr,
                                        extension ? extension : "", a, b});
    return 1;
}

void *openNamed(const char *name, int32_t mode, const Word *tags)
{
    State &s = state();
    OpenCall call;
    call.name = name ? name : "";
    call.mode = mode;
    call.withTags = tags != nullptr;
    if (tags) {
        for (const Word *t = tags;; t += 2) {
            call.tags.push_back(t[0]);
            if (t[0] == dbm::HOST_TAG_END)
                break;
            call.tags.push_back(t[1]);
        }
    }
    auto file = std::make_unique<HostFile>();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.opens.push_back(call);
        auto found = s.memoryFiles.find(call.name);
        if (found != s.memoryFiles.end())
            file->memory = found->second;
    }
    if (!file->memory) {
        if (!name)
            return nullptr;
        file->stream = std::fopen(name, "rb");
        if (!file->stream)
            return nullptr;
    }
    startReadTrail();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.files;
    return file.release();
}

extern "C" void *hostOpen(const char *name, int32_t mode)
{
    return openNamed(name, mode, nullptr);
}

extern "C" void *hostOpenWithTags(const char *name, int32_t mode, Word *tags)
{
    return openNamed(name, mode, tags);
}

extern "C" void hostClose(void *handle)
{
    if (!handle)
        return;
    auto *file = static_cast<HostFile *>(handle);
    if (file->stream)
        std::fclose(file->stream);
    delete file;
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    --s.files;
}

int32_t readFile(HostFile &file, void *buffer, int32_t length)
{
    if (file.stream)
        return static_cast<int32_t>(std::fread(buffer, 1, size_t(length), file.stream));
    size_t available = file.memory->size() - file.offset;
    size_t n = std::min(available, size_t(length));
    if (n)
        std::memcpy(buffer, file.memory->data() + file.offset, n);
    file.offset += n;
    return static_cast<int32_t>(n);
}

extern "C" int32_t hostRead(void *handle, void *buffer, int32_t length)
{
    State &s = state();
    int32_t limit = length;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        ++s.reads;
        if (s.failReadAt != 0 && s.reads == s.failReadAt)
            return -1;
        if (s.readLimit > 0 && limit > s.readLimit)
            limit = s.readLimit;
        if (s.shortReadAt != 0 && s.reads == s.shortReadAt && limit > s.shortReadBytes)
            limit = s.shortReadBytes;
    }
    int32_t got = limit < 0 ? -1 : 0;
    if (handle && limit > 0)
        got = readFile(*static_cast<HostFile *>(handle), buffer, limit);
    noteRead(length, got);
    return got;
}

extern "C" void *hostMakeTagObject(Word *userTags, int32_t)
{
    auto *object = new TagObject;
    if (userTags) {
        for (const Word *t = userTags;; t += 2) {
            object->tags.push_back(t[0]);
            if (t[0] == dbm::HOST_TAG_END)
                break;
            object->tags.push_back(t[1]);
        }
    }
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    ++s.tagObjects;
    return object;
}

extern "C" void hostFreeTagObject(void *object)
{
    if (!object)
        return;
    delete static_cast<TagObject *>(object);
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    --s.tagObjects;
}

template <class Fn> dbm::HostFunction entry(Fn fn)
{
    return reinterpret_cast<dbm::HostFunction>(fn);
}

struct Tables {
    dbm::HostFunction memory[dbm::MEMORY_SLOTS] = {};
    dbm::HostFunction registry[dbm::REGISTRY_SLOTS] = {};
    dbm::HostFunction files[dbm::FILE_SLOTS] = {};
    dbm::HostFunction tagObjects[dbm::TAG_OBJECT_SLOTS] = {};
    Tables()
    {
        memory[dbm::MEMORY_ALLOCATE] = entry(&hostAllocate);
        memory[dbm::MEMORY_FREE] = entry(&hostFreeBlock);
        registry[dbm::REGISTRY_REGISTER_EXTENSION] = entry(&hostRegisterExtension);
        files[dbm::FILE_OPEN] = entry(&hostOpen);
        files[dbm::FILE_CLOSE] = entry(&hostClose);
        files[dbm::FILE_READ] = entry(&hostRead);
        files[dbm::FILE_OPEN_WITH_TAGS] = entry(&hostOpenWithTags);
        tagObjects[dbm::TAG_OBJECT_MAKE] = entry(&hostMakeTagObject);
        tagObjects[dbm::TAG_OBJECT_FREE] = entry(&hostFreeTagObject);
    }
};

} // namespace

Word *serviceRecord(int32_t interfaceVersion)
{
    static Tables tables;
    static std::mutex lock;
    static std::map<int32_t, std::unique_ptr<Word[]>> records;
    std::lock_guard<std::mutex> guard(lock);
    auto &record = records[interfaceVersion];
    if (!record) {
        record.reset(new Word[dbm::SERVICE_RECORD_WORDS]());
        record[dbm::SERVICE_INTERFACE_VERSION] = static_cast<Word>(interfaceVersion);
        record[dbm::SERVICE_MEMORY] = reinterpret_cast<Word>(tables.memory);
        record[dbm::SERVICE_REGISTRY] = reinterpret_cast<Word>(tables.registry);
        record[dbm::SERVICE_FILES] = reinterpret_cast<Word>(tables.files);
        record[dbm::SERVICE_TAG_OBJECTS] = reinterpret_cast<Word>(tables.tagObjects);
    }
    return record.get();
}

size_t outstandingBlocks()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().blocks;
}

uint64_t allocationCount()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().allocations;
}

void failAllocation(uint64_t k)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failAllocationAt = k ? s.allocations + k : 0;
    s.failAllocationsAfter = false;
}

void failAllocationsFrom(uint64_t k)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failAllocationAt = k ? s.allocations + k : 0;
    s.failAllocationsAfter = true;
}

void addMemoryFile(const std::string &name, std::vector<uint8_t> bytes)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.memoryFiles[name] = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

void removeMemoryFile(const std::string &name)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.memoryFiles.erase(name);
}

size_t openFiles()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().files;
}

uint64_t readCount()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().reads;
}

void failRead(uint64_t k)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failReadAt = k ? s.reads + k : 0;
}

void limitReads(int32_t maxBytes)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.readLimit = maxBytes;
}

void shortenRead(uint64_t k, int32_t bytes)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.shortReadAt = k ? s.reads + k : 0;
    s.shortReadBytes = bytes;
}

std::vector<OpenCall> openCalls()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().opens;
}

std::vector<Registration> registrations()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().registered;
}

size_t outstandingTagObjects()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().tagObjects;
}

const std::vector<Word> &tagObjectTags(const void *object)
{
    return static_cast<const TagObject *>(object)->tags;
}

std::map<uint32_t, uint64_t> allocationsByCount()
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.byCount;
}

void resetHostControls()
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.failAllocationAt = 0;
    s.failAllocationsAfter = false;
    s.failReadAt = 0;
    s.readLimit = 0;
    s.shortReadAt = 0;
    s.shortReadBytes = 0;
    s.opens.clear();
    s.registered.clear();
}

} // namespace kvhost
