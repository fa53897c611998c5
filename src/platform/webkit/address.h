// The scheme and host of an address as a WebKit engine writes it out, for every toolkit
// folder that embeds one.
#pragma once

#include <string_view>

#include "platform/types.h"

namespace tessary::platform {

// The engine hands over its own normalised form of every address: scheme and host lower-cased,
// the host decoded, back-slashes of web addresses turned into slashes. Only the separators
// are read here; a bare "%" elsewhere in the address is not an error, as it is not to the
// engine. The host is absent when the address has no "//" authority.
Address addressOf(std::string_view uri);

}  // namespace tessary::platform
