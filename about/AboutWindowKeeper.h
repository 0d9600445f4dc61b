#pragma once

#include "AppIdentity.h"
#include "WindowKeeper.h"
#include "frmAbout.h"

namespace cw {

/// Keeps the program's one About window.
class AboutWindowKeeper : public WindowKeeper<frmAbout> {
public:
    AboutWindowKeeper(const AboutServices& services, const AppIdentity& identity)
        : WindowKeeper(
              [services, identity](QWidget* owner) { return new frmAbout(services, identity, owner); }) {}
};

} // namespace cw
