// An output file that is either complete or absent: written under a
// temporary name beside its target (".NAME.kvplay-XXXXXX", so the rename
// stays on one file system) and renamed onto the target only once complete.
// A failed or abandoned output removes its temporary file and leaves an
// existing target untouched; so does a signal (interrupt.h).
#pragma once

#include <string>

namespace kvplay {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();

    // Creates the temporary file for `target`. False with `error` set to
    // "cannot write TARGET: reason" (the folder is missing, not writable...).
    bool create(const std::string &target, std::string &error);
    // The temporary file's descriptor, open for writing; owned here.
    int descriptor() const { return fd_; }

    // Flushes the file to the disk and renames it onto the target. With
    // `replace` false an existing target is kept and the commit fails (a
    // file may have appeared there since kvplay checked). False with
    // `error` set; the temporary file is then removed.
    bool commit(bool replace, std::string &error);

private:
    void discard();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
};

// Removes every temporary file not yet committed, and keeps any output from
// being created or committed afterwards. For the signal watcher, which ends
// the process right after.
void discardUnfinishedOutputs();

} // namespace kvplay
