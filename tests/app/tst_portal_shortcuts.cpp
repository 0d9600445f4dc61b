// Global shortcuts through the desktop portal, against a recording fake portal on a private session bus: what
// is registered, which presses reach the program, and that a desktop without the portal costs nothing.
#include "FakeShortcutsPortal.h"
#include "PrivateSessionBus.h"
#include "app/PortalShortcuts.h"

#include <QSignalSpy>
#include <QtTest>

using namespace cw;
using namespace cw::test;

namespace {
const std::vector<GlobalShortcut> kShortcuts{
    {QStringLiteral("say-selection"), QStringLiteral("Say the selection")},
    {QStringLiteral("stop"), QStringLiteral("Stop speaking")}};
} // namespace

class PortalShortcutsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<PrivateSessionBus> bus;
    QDBusConnection client{QString()};
    QStringList pressed;

    std::unique_ptr<PortalShortcuts> started() {
        auto shortcuts =
            std::make_unique<PortalShortcuts>(client, [this](const QString& id) { pressed.append(id); });
        shortcuts->start(kShortcuts);
        return shortcuts;
    }
    static bool settled(const PortalShortcuts& shortcuts) {
        return shortcuts.state() != PortalShortcuts::State::Asking;
    }

private slots:
    void init() {
        bus = std::make_unique<PrivateSessionBus>();
        QVERIFY(!bus->address().isEmpty());
        client = QDBusConnection::connectToBus(bus->address(), QStringLiteral("program"));
        QVERIFY(client.isConnected());
        pressed.clear();
    }
    void cleanup() {
        QDBusConnection::disconnectFromBus(QStringLiteral("program"));
        client = QDBusConnection(QString());
        bus.reset();
    }

    void bothShortcutsAreBoundWithoutKeysOfOurChoosing() {
        FakeShortcutsPortal portal(bus->address());
        QVERIFY(portal.registered());
        const auto shortcuts = started();
        QTRY_COMPARE(shortcuts->state(), PortalShortcuts::State::Bound);
        QCOMPARE(portal.sessions().size(), 1);
        QCOMPARE(portal.bound().size(), std::size_t(2));
        for (std::size_t i = 0; i < kShortcuts.size(); ++i) {
            QCOMPARE(portal.bound()[i].id, kShortcuts[i].id);
            QCOMPARE(portal.bound()[i].properties.value(QStringLiteral("description")).toString(),
                     kShortcuts[i].description);
            // The desktop lets the user choose the keys: none is proposed.
            QVERIFY(!portal.bound()[i].properties.contains(QStringLiteral("preferred_trigger")));
        }
    }

    void pressesOfOurSessionReachTheProgram() {
        FakeShortcutsPortal portal(bus->address());
        const auto shortcuts = started();
        QTRY_COMPARE(shortcuts->state(), PortalShortcuts::State::Bound);
        const QString session = portal.sessions().value(0);
        portal.activate(session, QStringLiteral("stop"));
        QTRY_COMPARE(pressed, QStringList{QStringLiteral("stop")});
        // Another program's session, and a shortcut never bound, are not ours to act on; the press after them
        // shows they have been delivered and passed over.
        portal.activate(session + QStringLiteral("x"), QStringLiteral("say-selection"));
        portal.activate(session, QStringLiteral("quit"));
        portal.activate(session, QStringLiteral("say-selection"));
        QTRY_COMPARE(pressed, (QStringList{QStringLiteral("stop"), QStringLiteral("say-selection")}));
    }

    void withoutAPortalNothingIsRegistered() {
        const auto shortcuts = started();
        QTRY_VERIFY(settled(*shortcuts));
        QCOMPARE(shortcuts->state(), PortalShortcuts::State::Unavailable);
    }

    void aPortalWithoutGlobalShortcutsIsLeftAlone() {
        FakeShortcutsPortal portal(bus->address(), FakeShortcutsPortal::Answer::NoInterface);
        QVERIFY(portal.registered());
        const auto shortcuts = started();
        QTRY_VERIFY(settled(*shortcuts));
        QCOMPARE(shortcuts->state(), PortalShortcuts::State::Unavailable);
        QVERIFY(portal.sessions().isEmpty());
        QVERIFY(portal.bound().empty());
    }

    void aDeclinedSessionBindsNothing() {
        FakeShortcutsPortal portal(bus->address(), FakeShortcutsPortal::Answer::Cancel);
        const auto shortcuts = started();
        QTRY_VERIFY(settled(*shortcuts));
        QCOMPARE(shortcuts->state(), PortalShortcuts::State::Refused);
        QVERIFY(portal.bound().empty());
    }

    void withoutABusNothingIsAsked() {
        PortalShortcuts shortcuts(QDBusConnection(QStringLiteral("never connected")),
                                  [this](const QString& id) { pressed.append(id); });
        shortcuts.start(kShortcuts);
        QCOMPARE(shortcuts.state(), PortalShortcuts::State::Unavailable);
    }
};

QTEST_GUILESS_MAIN(PortalShortcutsTest)
#include "tst_portal_shortcuts.moc"
