#pragma once

#include <string>
#include <string_view>

namespace marrowen {

// The one road to numbered message texts: the text of message `id` from the
// loaded language file, or `defaultText` (the English text) when there is no
// loader, the loader is disabled or the lookup fails. Safe from any thread;
// never throws.
std::string translate(int id, std::string_view defaultText);

} // namespace marrowen
