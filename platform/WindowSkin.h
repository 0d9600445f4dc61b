#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QWidgetList>

namespace cw {

/// The window-skin component of the main window. It is created from its persisted settings and is handed the
/// program's open windows; the program behaves the same whatever it does with them. This one draws nothing: it
/// keeps the settings and the windows it was handed, so callers and tests can see the hand-over.
class WindowSkin : public QObject {
    Q_OBJECT
public:
    explicit WindowSkin(const QVariantMap& settings, QObject* parent = nullptr)
        : QObject(parent), settings_(settings) {}

    const QVariantMap& settings() const { return settings_; }
    /// Receives the collection of open windows (by the About window, each time it loads).
    void setWindows(const QWidgetList& windows) {
        windows_ = windows;
        ++handOvers_;
    }
    const QWidgetList& windows() const { return windows_; }
    int handOvers() const { return handOvers_; }

private:
    QVariantMap settings_;
    QWidgetList windows_;
    int handOvers_ = 0;
};

} // namespace cw
