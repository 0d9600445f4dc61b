#pragma once

class QWidget;

namespace cw::character {

/// Asks the window manager to leave a shown top-level window out of the taskbar and the pager. Does nothing
/// where the platform has no such request (only X11 has one).
void keepOffTaskbar(QWidget& window);

} // namespace cw::character
