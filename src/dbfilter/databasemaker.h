#pragma once

namespace marrowen {

// Lets database nodes make database filters: installs the database maker of
// the filter list (filterlist/filtermakers.h). The program calls it at
// start-up, as do the tests that build database nodes.
void registerDatabaseFilterMaker();

} // namespace marrowen
