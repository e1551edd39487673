#include "host/plugin_loader.h"
#include "host/services.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace kvhost {

namespace {

constexpr char MAGIC[8] = {'K', 'E', 'S', 'T', 'R', 'O', 'V', 'A'};

// What the segment scan looks for and what it found.
struct Scan {
    uintptr_t base;       // load address of the plug-in
    const char *name;     // its name as the system loader knows it
    bool objectSeen = false;
    bool otherVersionSeen = false;
    const dbm::PluginHeader *header = nullptr;
};

// The scan reads every byte of the plug-in's readable segments, padding
// between its variables included; a sanitized plug-in marks that padding as
// out of bounds, so these reads bypass the address checks. Byte-wise volatile
// reads keep the compiler from turning them into library calls.
#define KV_UNCHECKED_READS __attribute__((no_sanitize_address))

template <class T> KV_UNCHECKED_READS T readAt(const volatile unsigned char *at)
{
    T value;
    auto *bytes = reinterpret_cast<unsigned char *>(&value);
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = at[i];
    return value;
}

KV_UNCHECKED_READS bool magicAt(const volatile unsigned char *at)
{
    for (size_t i = 0; i < sizeof(MAGIC); ++i)
        if (at[i] != static_cast<unsigned char>(MAGIC[i]))
            return false;
    return true;
}

bool inExecutableSegment(const dl_phdr_info *object, uintptr_t address)
{
    for (int i = 0; i < object->dlpi_phnum; ++i) {
        const auto &segment = object->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X))
            continue;
        uintptr_t begin = object->dlpi_addr + segment.p_vaddr;
        if (address >= begin && address - begin < segment.p_memsz)
            return true;
    }
    return false;
}

KV_UNCHECKED_READS void scanSegment(const dl_phdr_info *object, const ElfW(Phdr) &segment, Scan &scan)
{
    if (segment.p_memsz < sizeof(dbm::PluginHeader))
        return;
    auto *begin = reinterpret_cast<const volatile unsigned char *>(object->dlpi_addr + segment.p_vaddr);
    const volatile unsigned char *last = begin + (segment.p_memsz - sizeof(dbm::PluginHeader));
    for (const volatile unsigned char *at = begin; at <= last; ++at) {
        if (!magicAt(at))
            continue;
        auto version = readAt<uint32_t>(at + offsetof(dbm::PluginHeader, version));
        auto lookup = readAt<uintptr_t>(at + offsetof(dbm::PluginHeader, lookup));
        if (version != dbm::PLUGIN_HEADER_VERSION) {
            scan.otherVersionSeen = true;
        } else if (inExecutableSegment(object, lookup)) {
            scan.header = reinterpret_cast<const dbm::PluginHeader *>(const_cast<const unsigned char *>(at));
            return;
        }
    }
}

int scanObject(dl_phdr_info *object, size_t, void *data)
{
    Scan &scan = *static_cast<Scan *>(data);
    if (object->dlpi_addr != scan.base || !object->dlpi_name || std::strcmp(object->dlpi_name, scan.name) != 0)
        return 0;
    scan.objectSeen = true;
    for (int i = 0; i < object->dlpi_phnum && !scan.header; ++i) {
        const auto &segment = object->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_R))
            scanSegment(object, segment, scan);
    }
    return 1;
}

} // namespace

const char *describe(PluginError error)
{
    switch (error) {
    case PluginError::None: return "";
    case PluginError::FileMissing: return "cannot open the plug-in";
    case PluginError::NotSharedObject: return "not a shared object";
    case PluginError::NoHeader: return "not a Kestrova plug-in (no header)";
    case PluginError::WrongVersion: return "unsupported plug-in header version";
    case PluginError::NoInitPlugin: return "the plug-in has no InitPlugin";
    case PluginError::InitFailed: return "the plug-in failed to initialise";
    }
    return "unknown error";
}

PluginHost::~PluginHost()
{
    unload();
}

bool PluginHost::fail(PluginError error, const std::string &detail)
{
    unload();
    error_ = error;
    message_ = describe(error);
    if (!detail.empty())
        message_ += ": " + detail;
    return false;
}

bool PluginHost::load(const std::string &path)
{
    unload();
    error_ = PluginError::None;
    message_.clear();

    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return fail(PluginError::FileMissing, path + ": " + std::strerror(errno));

    // dlopen searches the library folders for a bare name; a host loads the
    // file it was given.
    std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char *reason = ::dlerror();
        return fail(PluginError::NotSharedObject, reason ? reason : path);
    }

    link_map *map = nullptr;
    if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return fail(PluginError::NoHeader, path);
    Scan scan{map->l_addr, map->l_name};
    ::dl_iterate_phdr(&scanObject, &scan);
    if (!scan.header)
        return fail(scan.otherVersionSeen ? PluginError::WrongVersion : PluginError::NoHeader, path);
    header_ = scan.header;
    return true;
}

bool PluginHost::initialise(Word hostVersion, Word hostRevision, Word *services)
{
    if (!loaded())
        return fail(PluginError::NoHeader, "no plug-in loaded");
    auto initPlugin = operation<dbm::InitPluginFn>("InitPlugin");
    if (!initPlugin)
        return fail(PluginError::NoInitPlugin, "");
    info_.fill(0);
    info_[dbm::INFO_HOST_VERSION] = hostVersion;
    info_[dbm::INFO_HOST_REVISION] = hostRevision;
    if (initPlugin(info_.data(), services) == 0)
        return fail(PluginError::InitFailed, "");
    initialised_ = true;
    return true;
}

bool PluginHost::start(const std::string &path)
{
    return load(path) && initialise(HOST_VERSION, HOST_REVISION, serviceRecord(HOST_INTERFACE_VERSION));
}

void PluginHost::unload()
{
    if (initialised_) {
        if (auto closePlugin = operation<dbm::ClosePluginFn>("ClosePlugin"))
            closePlugin();
        initialised_ = false;
    }
    if (handle_)
        ::dlclose(handle_);
    handle_ = nullptr;
    header_ = nullptr;
}

void *PluginHost::lookup(const char *name) const
{
    if (!header_ || !name)
        return nullptr;
    return header_->lookup(name);
}

} // namespace kvhost
