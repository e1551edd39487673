// Names in DBM0 files are fixed-width fields: the text runs to the first
// zero byte, or fills the field.
#pragma once

#include <cstdint>

namespace dbm {

// A zero-terminated copy of the field's text in a host block; null when the
// host has no memory.
char *copyTextField(const uint8_t *field, uint32_t width);

} // namespace dbm
