#pragma once

#include <QString>

namespace cw {

/// The icon a message box shows beside its text. Every message box has one button, OK.
enum class MessageIcon {
    None,
    Critical, ///< something failed and the user has to know
};

/// Modal message boxes.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;

    /// Shows a message and returns when the user has closed it. An empty title shows the program's title.
    virtual void show(const QString& text, MessageIcon icon, const QString& title) = 0;
};

} // namespace cw
