#pragma once

#include "platform/WindowSkin.h"

#include <QWidgetList>

namespace cw::test {

/// Keeps the windows it was last handed and counts the hand-overs.
class RecordingWindowSkin : public IWindowSkin {
public:
    void setWindows(const QList<QWidget*>& handed) override {
        windows_ = handed;
        ++handOvers_;
    }
    const QList<QWidget*>& windows() const { return windows_; }
    int handOvers() const { return handOvers_; }

private:
    QList<QWidget*> windows_;
    int handOvers_ = 0;
};

} // namespace cw::test
