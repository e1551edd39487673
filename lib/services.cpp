#include "lib/services.h"

#include "base/host_services.h"

#include <cstdlib>
#include <cstring>

namespace dbmplay {

namespace {

using dbm::HostFunction;
using dbm::Word;

thread_local ServiceCall *currentCall = nullptr;

// calloc, so that a block the reader asks for and never fills (a file that
// declares more than it holds) costs no page touched.
void *zeroedBlock(void *, size_t size)
{
    return std::calloc(1, size);
}

void freeBlock(void *, void *block)
{
    std::free(block);
}

const dbmplay_allocator C_LIBRARY_ALLOCATOR = {zeroedBlock, freeBlock, nullptr};

} // namespace

struct ServiceAccess {
    static void *allocate(uint32_t count, uint32_t size)
    {
        ServiceCall *call = currentCall;
        if (!call)
            return nullptr;
        const uint64_t bytes = uint64_t(count) * size;
        void *block = nullptr;
        if (bytes <= SIZE_MAX)
            // The core asks for zero-sized arrays too; every answer must be a real block.
            block = call->allocator_.allocate(call->allocator_.user, bytes ? size_t(bytes) : 1);
        if (!block) {
            call->memoryFailed_ = true;
            return nullptr;
        }
        if (call->allocator_.allocate != zeroedBlock)
            std::memset(block, 0, size_t(bytes));
        return block;
    }

    static void release(void *block)
    {
        if (ServiceCall *call = currentCall)
            call->allocator_.release(call->allocator_.user, block);
    }

    // The core opens only the module it is loading; the name is not needed.
    static void *open(const char *, int32_t)
    {
        ServiceCall *call = currentCall;
        if (!call || !call->source_ || !openSource(*call->source_))
            return nullptr;
        return call->source_;
    }

    static int32_t read(void *file, void *buffer, int32_t length)
    {
        return length > 0 ? readSource(*static_cast<ModuleSource *>(file), buffer, length) : 0;
    }

    static void close(void *file)
    {
        closeSource(*static_cast<ModuleSource *>(file));
    }
};

namespace {

template <class F> HostFunction hostFunction(F function)
{
    return reinterpret_cast<HostFunction>(function);
}

// The service record handed to the core: memory and file tables only (the
// core asks for nothing else outside the plug-in's entry points).
Word *serviceRecord()
{
    static HostFunction memory[dbm::MEMORY_SLOTS] = {};
    static HostFunction files[dbm::FILE_SLOTS] = {};
    static Word record[dbm::SERVICE_RECORD_WORDS] = {};
    memory[dbm::MEMORY_ALLOCATE] = hostFunction(&ServiceAccess::allocate);
    memory[dbm::MEMORY_FREE] = hostFunction(&ServiceAccess::release);
    files[dbm::FILE_OPEN] = hostFunction(&ServiceAccess::open);
    files[dbm::FILE_READ] = hostFunction(&ServiceAccess::read);
    files[dbm::FILE_CLOSE] = hostFunction(&ServiceAccess::close);
    record[dbm::SERVICE_MEMORY] = reinterpret_cast<Word>(memory);
    record[dbm::SERVICE_FILES] = reinterpret_cast<Word>(files);
    return record;
}

} // namespace

ServiceCall::ServiceCall(const dbmplay_allocator &allocator, ModuleSource *source)
    : allocator_(allocator), source_(source), outer_(currentCall)
{
    // Filled once, before the first call of any thread reaches the core.
    static Word *const record = dbm::pluginGlobals.host = serviceRecord();
    (void)record;
    currentCall = this;
}

ServiceCall::~ServiceCall()
{
    currentCall = outer_;
}

const dbmplay_allocator *chooseAllocator(const dbmplay_allocator *given)
{
    if (!given)
        return &C_LIBRARY_ALLOCATOR;
    return given->allocate && given->release ? given : nullptr;
}

} // namespace dbmplay
