#pragma once

#include "platform/WindowSkin.h"

#include <QObject>
#include <QWidgetList>

namespace cw {

/// The skin this program has: the windows keep the desktop's own look, so it has nothing to do with them.
class PlainWindowSkin final : public QObject, public IWindowSkin {
    Q_OBJECT
public:
    using QObject::QObject;

    void setWindows(const QWidgetList&) override {}
};

} // namespace cw
