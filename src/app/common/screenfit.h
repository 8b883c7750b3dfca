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

// Widens a window whose caption the window system would cut: the title bar
// holds the caption beside an icon and three buttons. Windows, not their
// controls, are widened; their layouts make room for the controls.
void widenForCaption(QWidget &window);

} // namespace marrowen
