// Loading a Kestrova plug-in the way the host does: the file is loaded with
// dlopen, its header is found by scanning the object's loaded, readable
// segments for "KESTROVA", version 3 and a lookup address inside one of the
// object's executable segments, and its operations are looked up by name
// through that header. The plug-in exports no symbols; nothing is found with
// dlsym.
//
// A PluginHost holds at most one loaded plug-in. It is neither copied nor
// moved, because the plug-in keeps pointers to its info record. Destroying it
// (or unload()) calls ClosePlugin when InitPlugin succeeded, then unloads the
// file. Failures never crash: they leave nothing loaded and are reported
// through error() and message().
#pragma once

#include "base/host_api.h"

#include <array>
#include <cstdint>
#include <string>

namespace kvhost {

using dbm::Word;

// The host identity our tools present: new enough for every feature.
constexpr Word HOST_VERSION = 6;
constexpr Word HOST_REVISION = 0;
constexpr int32_t HOST_INTERFACE_VERSION = 10;

enum class PluginError {
    None,
    FileMissing,      // the file cannot be found or read
    NotSharedObject,  // the system loader refuses it
    NoHeader,         // no "KESTROVA" header with a lookup address in the plug-in's code
    WrongVersion,     // a header is there, but not of version 3
    NoInitPlugin,     // the lookup routine does not know "InitPlugin"
    InitFailed,       // InitPlugin returned 0
};

// A short English description of the error ("" for None).
const char *describe(PluginError error);

class PluginHost {
public:
    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

    // Loads the plug-in file and finds its header; a plug-in loaded before is
    // unloaded first. A path without a slash names a file in the current
    // folder, never one in the system's library folders. False on failure.
    bool load(const std::string &path);

    // Puts the host's version and revision into words 3 and 4 of the info
    // record and calls InitPlugin with it and `services` (null is passed on
    // as null). False, with the error set, when nothing is loaded, the
    // plug-in has no InitPlugin or InitPlugin returns 0.
    bool initialise(Word hostVersion, Word hostRevision, Word *services);

    // load() then initialise() with our host identity and a service record
    // of HOST_INTERFACE_VERSION.
    bool start(const std::string &path);

    // Calls ClosePlugin when InitPlugin succeeded, then unloads the file.
    void unload();

    bool loaded() const { return handle_ != nullptr; }
    // The operation of that exact name, or null (also when nothing is loaded).
    void *lookup(const char *name) const;
    template <class Fn> Fn operation(const char *name) const
    {
        return reinterpret_cast<Fn>(lookup(name));
    }
    // The header found in the loaded plug-in, or null.
    const dbm::PluginHeader *header() const { return header_; }
    // The dlopen handle, or null.
    void *handle() const { return handle_; }
    // The info record InitPlugin fills; zero before the first initialise().
    Word *info() { return info_.data(); }
    const Word *info() const { return info_.data(); }

    PluginError error() const { return error_; }
    // The error's description with its details (the file, the system's reason).
    const std::string &message() const { return message_; }

private:
    bool fail(PluginError error, const std::string &detail);

    void *handle_ = nullptr;
    const dbm::PluginHeader *header_ = nullptr;
    bool initialised_ = false;
    std::array<Word, dbm::INFO_WORDS> info_{};
    PluginError error_ = PluginError::None;
    std::string message_;
};

} // namespace kvhost
