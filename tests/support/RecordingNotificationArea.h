#pragma once

#include "platform/NotificationArea.h"

#include <QStringList>

namespace cw::test {

/// Records the icon commands ("NotifyIcon Add <tip>", "NotifyIcon Delete") into a shared log and lets a test
/// send mouse messages as the tray would.
class RecordingNotificationArea : public INotificationArea {
public:
    explicit RecordingNotificationArea(QStringList& log) : log_(log) {}

    bool notifyIcon(NotifyCommand command, const TrayIconData& data) override {
        static const char* names[] = {"Add", "Modify", "Delete"};
        log_.append(QStringLiteral("NotifyIcon %1").arg(QLatin1String(names[static_cast<int>(command)])));
        records.append(data);
        return accept;
    }
    void setEventHandler(std::function<void(int)> handler) override { handler_ = std::move(handler); }

    /// Delivers a mouse message as the tray would.
    void send(int mouseMessage) {
        if (handler_) {
            handler_(mouseMessage);
        }
    }

    bool accept = true;
    QList<TrayIconData> records;

private:
    QStringList& log_;
    std::function<void(int)> handler_;
};

} // namespace cw::test
