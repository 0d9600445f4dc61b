#pragma once

#include "platform/MessageBoxes.h"

#include <QList>
#include <QString>

namespace cw::test {

/// Records every message box instead of showing it; each returns at once as if the user pressed OK.
class RecordingMessageBoxes : public IMessageBoxes {
public:
    struct Shown {
        QString text;
        MessageIcon icon = MessageIcon::None;
        QString title;
        bool operator==(const Shown&) const = default;
    };

    void show(const QString& text, MessageIcon icon, const QString& title) override {
        shown.append({text, icon, title});
    }

    QList<Shown> shown;
};

} // namespace cw::test
