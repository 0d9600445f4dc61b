#pragma once

#include <QList>

class QWidget;

namespace cw {

/// The main window's window-skin component. The About window hands it the program's open windows each time it
/// loads; what a skin does with them is its own business, and the program behaves the same without one.
class IWindowSkin {
public:
    virtual ~IWindowSkin() = default;

    /// Receives the program's open windows.
    virtual void setWindows(const QList<QWidget*>& windows) = 0;
};

} // namespace cw
