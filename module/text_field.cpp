#include "module/text_field.h"

#include "base/host_services.h"

#include <cstring>

namespace dbm {

char *copyTextField(const uint8_t *field, uint32_t width)
{
    uint32_t length = 0;
    while (length < width && field[length] != 0)
        ++length;
    char *text = hostArray<char>(length + 1);
    if (text)
        std::memcpy(text, field, length);
    return text;
}

} // namespace dbm
