#pragma once

namespace marrowen {

// Every node class's dialog, each registered under its node's class name.
void registerNodeDialogs();

} // namespace marrowen
