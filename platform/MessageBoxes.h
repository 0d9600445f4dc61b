#pragma once

#include <QString>

namespace cw {

/// Button and icon styles of a message box, combinable as the platform's message box styles are.
enum MessageBoxStyle : int {
    kMbOk = 0,
    kMbIconCritical = 16,
};

/// Modal message boxes.
class IMessageBoxes {
public:
    virtual ~IMessageBoxes() = default;

    /// Shows a message and returns when the user has closed it. An empty title shows the program's title.
    virtual void show(const QString& text, int style, const QString& title) = 0;
};

} // namespace cw
