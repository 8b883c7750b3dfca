#include "engine/messages.h"

namespace marrowen {

std::string translate(int, std::string_view defaultText) { return std::string(defaultText); }

} // namespace marrowen
