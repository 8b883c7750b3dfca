#pragma once

// The escape, character-table and clipboard services, under the names the
// chain first used for them.

#include "engine/clipboard.h"
#include "engine/escapes.h"

#include <string_view>

namespace marrowen {

inline void setClipboardText(std::string_view text) { clipboard()->setText(text); }

} // namespace marrowen
