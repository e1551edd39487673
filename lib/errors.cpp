// Error texts and the library's version.
#include "dbmplay.h"

extern "C" DBMPLAY_API const char *dbmplay_error_text(int code)
{
    switch (code) {
    case DBMPLAY_OK:
        return "no error";
    case DBMPLAY_ERROR_OPEN:
        return "the file could not be opened";
    case DBMPLAY_ERROR_MEMORY:
        return "not enough memory";
    case DBMPLAY_ERROR_DATA:
        return "not a DBM0 module, or its data is damaged";
    case DBMPLAY_ERROR_VERSION:
        return "a DBM0 format version this player does not know";
    case DBMPLAY_ERROR_READ:
        return "the module could not be read to its end";
    case DBMPLAY_ERROR_ORDER:
        return "the module's chunks are out of order";
    case DBMPLAY_ERROR_ARGUMENT:
        return "an invalid argument";
    default:
        return "an unknown error";
    }
}

extern "C" DBMPLAY_API unsigned dbmplay_version(void)
{
    return DBMPLAY_VERSION;
}
