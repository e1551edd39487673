#include "module/loader.h"
namespace dbm {
Module *loadModule(const char *, int32_t *errorCode, const char *, void *) // stub
{
    if (errorCode)
        *errorCode = LOAD_ERROR_DATA;
    return nullptr;
}
}
