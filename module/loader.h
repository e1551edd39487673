// The DBM0 reader: turns a file into a Module or refuses it with an error code.
//
// Contract: reads strictly front to back through the host's file services,
// never seeks, takes all memory from the host. On success the error location
// is left untouched; on failure nothing stays allocated, the file is closed,
// and the code is stored through `errorCode` when it is not null.
#pragma once

#include "module/module.h"

#include <cstdint>

namespace dbm {

enum LoadError : int32_t {
    LOAD_ERROR_OPEN = 1,    // the host could not open the file
    LOAD_ERROR_MEMORY = 2,  // a memory request failed
    LOAD_ERROR_DATA = 3,    // damaged or unacceptable data
    LOAD_ERROR_VERSION = 4, // version byte neither 2 nor 3
    LOAD_ERROR_READ = 5,    // a read gave nothing where data was required
    LOAD_ERROR_ORDER = 6,   // a chunk that needs the counts came before INFO
};

Module *loadModule(const char *fileName, int32_t *errorCode, const char *adapterName,
                   void *tagObject);

} // namespace dbm
