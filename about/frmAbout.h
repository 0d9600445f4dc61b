#pragma once

#include "AppIdentity.h"
#include "SysInfoLauncher.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

namespace cw {

class IMessageBoxes;
class IRegistry;
class IShell;
class LinkLabel;
class IWindowSkin;

/// The services the About window works with; each must outlive the window.
struct AboutServices {
    IShell& shell;
    IMessageBoxes& messages;
    IRegistry& registry;
    IWindowSkin& skin;
};

/// The About window: the product's icon, title, version and description, the contact links, a copyright
/// notice, OK and a button that starts the system-information tool. Modeless, fixed size, owned by (and kept
/// above) the window passed as owner. It deletes itself when closed; AboutWindowKeeper makes a new one for
/// the next showing.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    /// Builds the window and loads it (Form_Load); it is shown by the caller.
    frmAbout(const AboutServices& services, const AppIdentity& identity, QWidget* owner);

    /// The version line for the given numbers: " v1.0.16 For Linux ".
    static QString versionLine(const AppIdentity& identity);
    /// True once the window has been closed; it is then on its way out and is never shown again.
    bool isUnloaded() const { return unloaded_; }

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Label2_Click();
    void Label3_Click();
    void lblOwner2_Click();

private:
    void createControls();
    /// Gives each coloured text the readable shade of its colour on the window's current background.
    void applyTextColours();
    void Form_Load();
    QWidgetList openWindows() const;
    /// Hands `link` to the shell.
    void openLink(const QString& link);

    AboutServices services_;
    AppIdentity identity_;
    SysInfoLauncher launcher_;
    bool unloaded_ = false;

    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    LinkLabel* Label3 = nullptr;
    LinkLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    LinkLabel* lblOwner2 = nullptr;
    QLabel* lblOwner1 = nullptr;
    QWidget* Line1_1 = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* Line1_0 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDisclaimer = nullptr;
};

} // namespace cw
