#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <memory>

namespace cw {

/// Keeps at most one of a kind of modeless window: the first showing makes it, later showings bring the same
/// window forward, and once it has been closed (it then deletes itself) the next showing makes a new one.
template <typename Window> class WindowKeeper {
public:
    /// `make` builds the window for an owner, which owns it.
    explicit WindowKeeper(std::function<Window*(QWidget* owner)> make) : make_(std::move(make)) {}

    /// Shows the window above `owner`, making it first when there is none.
    void show(QWidget* owner) {
        Window* shown = window();
        if (shown == nullptr) {
            shown = make_(owner);
            window_ = shown;
            // Shared with the connection, which may outlive the keeper when the owner is closing.
            closed_ = std::make_shared<bool>(false);
            QObject::connect(shown, &QDialog::finished, shown, [closed = closed_] { *closed = true; });
        }
        shown->show();
        shown->raise();
        shown->activateWindow();
    }

    /// The open window, or nullptr. A closed window deletes itself a moment later; until then it no longer
    /// counts as open.
    Window* window() const { return window_ && !*closed_ ? window_.data() : nullptr; }

private:
    std::function<Window*(QWidget*)> make_;
    QPointer<Window> window_;
    std::shared_ptr<bool> closed_ = std::make_shared<bool>(true);
};

} // namespace cw
