#pragma once

#include <QObject>
#include <QWidgetList>

namespace cw {

/// The main window's window-skin component. The About window hands it the program's open windows each time it
/// loads; what a skin does with them is its own business, and the program behaves the same without one.
class IWindowSkin {
public:
    virtual ~IWindowSkin() = default;

    /// Receives the program's open windows.
    virtual void setWindows(const QWidgetList& windows) = 0;
};

/// The skin this program has: the windows keep the desktop's own look, so it has nothing to do with them.
class PlainWindowSkin final : public QObject, public IWindowSkin {
    Q_OBJECT
public:
    using QObject::QObject;

    void setWindows(const QWidgetList&) override {}
};

} // namespace cw
