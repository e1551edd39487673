// Options that cannot be honoured together: kvplay refuses them instead of
// quietly dropping one.
#pragma once

#include "tools/kvplay/options.h"

#include <string>

namespace kvplay {

// The first conflict among `options` as one sentence for the user, or an
// empty string when there is none. --version is not checked: it only prints.
std::string findConflict(const Options &options);

} // namespace kvplay
