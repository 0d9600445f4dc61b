#pragma once

#include "AppIdentity.h"
#include "frmAbout.h"

#include <QPointer>

namespace cw {

/// Keeps the program's one About window: the first showing loads it, later showings bring the same window
/// forward, and once it has been closed the next showing loads a new one.
class AboutWindowKeeper {
public:
    AboutWindowKeeper(const AboutServices& services, const AppIdentity& identity)
        : services_(services), identity_(identity) {}

    /// Shows the About window modeless above `owner`, loading it first when it is not loaded.
    void show(QWidget* owner);
    /// The loaded About window, or nullptr when there is none.
    frmAbout* window() const;

private:
    AboutServices services_;
    AppIdentity identity_;
    QPointer<frmAbout> window_;
};

} // namespace cw
