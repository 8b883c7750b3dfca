#pragma once

#include <string>
#include <vector>

namespace marrowen {

class TdgGrid;

// A data grid of cols x rows text cells ("r<row>c<col>") with StoreData on,
// shown offscreen at the given client size.
void fillTextGrid(TdgGrid &grid, int cols, int rows);
void showDataGrid(TdgGrid &grid, int clientWidth, int clientHeight);

// Renders sample data grids (plain, 3D with fixed areas, buttons, check and
// picture cells, wrapped text, focus borders, selections, a million rows) to
// PNG files in `folder`; returns their paths.
std::vector<std::string> renderDataGridScreenshots(const std::string &folder);

} // namespace marrowen
