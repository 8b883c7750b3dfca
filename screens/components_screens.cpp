#include "screens.h"

namespace marrowen {

std::vector<Screen> componentScreens() { return {}; }

} // namespace marrowen
