#pragma once

class QWidget;

namespace marrowen {

// Keeps a window inside the part of its screen that windows may use (the
// screen less its panels): a window whose size, default or stored, or whose
// minimum would reach beyond it shrinks to it, and one placed across its edge
// moves in. A maximized, full-screen or minimized window is the window
// system's to place.
void fitToAvailableArea(QWidget &window);

// Fits the window as above and puts it in the middle of that area.
void centreInAvailableArea(QWidget &window);

} // namespace marrowen
