#pragma once

#include "WindowKeeper.h"

#include <QDialog>

class QTextBrowser;

namespace cw {

/// The program's help: how to make the genie speak, the presets and fields, clipboard monitoring, the buttons
/// and their access keys, and the speech tags that can be typed into the text. Modeless, above its owner.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    /// Builds the window for `owner` (the main window), which owns it; it deletes itself when closed.
    explicit HelpWindow(QWidget* owner);

    /// The help text as rich text, for the program called `title`.
    static QString helpText(const QString& title);

private:
    QTextBrowser* browser_ = nullptr;
};

/// Keeps at most one Help window: showing it again brings the open one forward.
class HelpWindowKeeper : public WindowKeeper<HelpWindow> {
public:
    HelpWindowKeeper() : WindowKeeper([](QWidget* owner) { return new HelpWindow(owner); }) {}
};

} // namespace cw
