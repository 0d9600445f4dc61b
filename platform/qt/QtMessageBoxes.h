#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace cw {

/// Message boxes as Qt message boxes, modal to the whole program.
class QtMessageBoxes : public IMessageBoxes {
public:
    void show(const QString& text, MessageIcon icon, const QString& title) override;
};

} // namespace cw
