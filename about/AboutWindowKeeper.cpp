#include "AboutWindowKeeper.h"

namespace cw {

void AboutWindowKeeper::show(QWidget* owner) {
    frmAbout* about = window();
    if (about == nullptr) {
        about = new frmAbout(services_, identity_, owner); // owned by `owner`, deleted when closed
        window_ = about;
    }
    about->show();
    about->raise();
    about->activateWindow();
}

frmAbout* AboutWindowKeeper::window() const {
    // A closed window deletes itself a moment later; until then it no longer counts as loaded.
    return window_ && !window_->isUnloaded() ? window_.data() : nullptr;
}

} // namespace cw
