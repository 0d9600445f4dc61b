#pragma once

#include <QDialog>
#include <QPointer>

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
    /// True once the window has been closed; it is then on its way out.
    bool isClosed() const { return closed_; }

private:
    QTextBrowser* browser_ = nullptr;
    bool closed_ = false;
};

/// Keeps at most one Help window: showing it again brings the open one forward.
class HelpWindowKeeper {
public:
    /// Shows the Help window above `owner`, making it first when none is open.
    void show(QWidget* owner);
    /// The open Help window, or nullptr.
    HelpWindow* window() const;

private:
    QPointer<HelpWindow> window_;
};

} // namespace cw
