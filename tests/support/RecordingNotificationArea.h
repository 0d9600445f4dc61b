#pragma once

#include "platform/NotificationArea.h"

#include <QStringList>

namespace cw::test {

/// Records the icon commands ("NotifyIcon Add", "NotifyIcon Change", "NotifyIcon Delete") into a shared log
/// and lets a test send events as the tray would.
class RecordingNotificationArea : public INotificationArea {
public:
    struct Shown {
        QIcon icon;
        QString tip;
    };

    explicit RecordingNotificationArea(QStringList& log) : log_(log) {}

    bool addIcon(const QIcon& icon, const QString& tip) override {
        log_.append(QStringLiteral("NotifyIcon Add"));
        records.append({icon, tip});
        shown = accept;
        return accept;
    }
    bool changeIcon(const QIcon& icon, const QString& tip) override {
        log_.append(QStringLiteral("NotifyIcon Change"));
        records.append({icon, tip});
        return accept && shown;
    }
    bool removeIcon() override {
        log_.append(QStringLiteral("NotifyIcon Delete"));
        const bool wasShown = shown;
        shown = false;
        return wasShown;
    }
    void setEventHandler(std::function<void(TrayEvent)> handler) override { handler_ = std::move(handler); }
    void setMenu(QList<TrayMenuEntry> entries) override { menu = std::move(entries); }

    /// The menu's entry texts, in order.
    QStringList menuTexts() const {
        QStringList texts;
        for (const TrayMenuEntry& entry : menu) {
            texts.append(entry.text);
        }
        return texts;
    }
    /// Chooses the menu entry with this text, as the user would; false when there is none.
    bool choose(const QString& text) {
        for (const TrayMenuEntry& entry : menu) {
            if (entry.text == text && entry.chosen) {
                entry.chosen();
                return true;
            }
        }
        return false;
    }

    /// Delivers an event as the tray would.
    void send(TrayEvent event) {
        if (handler_) {
            handler_(event);
        }
    }

    bool accept = true;
    /// Whether the icon is shown now.
    bool shown = false;
    /// The icon and tip of every Add and Change, in order.
    QList<Shown> records;
    /// The context menu's entries, as last set.
    QList<TrayMenuEntry> menu;

private:
    QStringList& log_;
    std::function<void(TrayEvent)> handler_;
};

} // namespace cw::test
