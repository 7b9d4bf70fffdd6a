#include "LogCapture.h"
#include "PrivateDBus.h"
#include "platform/linux/LinuxSystemEvents.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {
const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString LogindPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString FreedesktopSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString FreedesktopSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString GnomeSaver = QStringLiteral("org.gnome.ScreenSaver");
const QString GnomeSaverPath = QStringLiteral("/org/gnome/ScreenSaver");
} // namespace

/// Counts one D-Bus signal as the test process receives it. QtDBus hands a signal to all its
/// receivers at once, so once the probe has seen a signal (and posted events are flushed) the adapter
/// has seen it too: that is how a test proves that a signal produced no event.
class SignalProbe : public QObject
{
    Q_OBJECT

public:
    SignalProbe(QDBusConnection bus, const QString &service, const QString &path, const QString &interface,
                const QString &name)
    {
        bus.connect(service, path, interface, name, this, SLOT(seen()));
    }
    int count() const { return m_count; }

    /// Waits until `expected` signals have arrived and every receiver has handled them.
    bool waitFor(int expected)
    {
        const bool arrived = QTest::qWaitFor([&] { return m_count >= expected; });
        QCoreApplication::sendPostedEvents();
        return arrived && m_count == expected;
    }

private Q_SLOTS:
    void seen() { ++m_count; }

private:
    int m_count = 0;
};

/// One spy per event of the port.
struct EventSpies
{
    explicit EventSpies(SystemEvents &events)
        : systemWake(&events, &SystemEvents::systemDidWake), screensWake(&events, &SystemEvents::screensDidWake),
          sessionActive(&events, &SystemEvents::sessionDidBecomeActive),
          applicationActive(&events, &SystemEvents::applicationDidBecomeActive)
    {
    }
    QSignalSpy systemWake, screensWake, sessionActive, applicationActive;
};

class TestLinuxSystemEvents : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PrivateDBus> m_systemBus;
    std::unique_ptr<PrivateDBus> m_sessionBus;
    int m_sessionCount = 0;

    static LinuxSystemEvents *makeEvents(QObject *parent)
    {
        return new LinuxSystemEvents(QDBusConnection::systemBus(), QDBusConnection::sessionBus(), parent);
    }

    bool sleep(bool sleeping)
    {
        return m_systemBus->emitSignal(Logind, LogindPath, LogindManager, QStringLiteral("PrepareForSleep"),
                                       QStringLiteral("b"), {sleeping});
    }

    bool screenSaver(const QString &service, const QString &path, bool active)
    {
        return m_sessionBus->emitSignal(service, path, service, QStringLiteral("ActiveChanged"), QStringLiteral("b"),
                                        {active});
    }

    /// Adds a fresh login session of this user to the logind mock and returns its object path.
    QString addSession(const QString &id)
    {
        const bool added = m_systemBus->call(Logind, LogindPath, MockInterface, QStringLiteral("AddSession"),
                                             {id, QStringLiteral("seat0"), QVariant::fromValue(quint32(getuid())),
                                              QStringLiteral("tester"), true});
        return added ? QStringLiteral("/org/freedesktop/login1/session/") + id : QString();
    }

    bool setLocked(const QString &sessionPath, bool locked)
    {
        return m_systemBus->call(Logind, sessionPath, SessionInterface, QStringLiteral("SetLockedHint"), {locked});
    }

    /// Locks and unlocks the session twice over, with a repeated unlock: two unlocks in all.
    void checkUnlocksOf(const QString &sessionPath, EventSpies &spies)
    {
        SignalProbe changes(QDBusConnection::systemBus(), Logind, sessionPath,
                            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        QVERIFY(setLocked(sessionPath, true));
        QVERIFY(changes.waitFor(1));
        QCOMPARE(spies.sessionActive.count(), 0);
        QVERIFY(setLocked(sessionPath, false));
        QVERIFY(setLocked(sessionPath, false));
        QVERIFY(changes.waitFor(3));
        QCOMPARE(spies.sessionActive.count(), 1);
        QVERIFY(setLocked(sessionPath, true));
        QVERIFY(setLocked(sessionPath, false));
        QVERIFY(changes.waitFor(5));
        QCOMPARE(spies.sessionActive.count(), 2);
        QCOMPARE(spies.systemWake.count() + spies.screensWake.count(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_systemBus = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        QVERIFY2(m_systemBus->isRunning(), qPrintable(m_systemBus->errorString()));
        m_sessionBus = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        QVERIFY2(m_sessionBus->isRunning(), qPrintable(m_sessionBus->errorString()));
        QVERIFY2(m_systemBus->startMock({QStringLiteral("--template"), QStringLiteral("logind")}, Logind),
                 qPrintable(m_systemBus->errorString()));
        // The template's GetUser adds a number to a string and fails; give it one that works.
        QVERIFY2(m_systemBus->call(Logind, LogindPath, MockInterface, QStringLiteral("AddMethod"),
                                   {LogindManager, QStringLiteral("GetUser"), QStringLiteral("u"), QStringLiteral("o"),
                                    QStringLiteral("ret = '/org/freedesktop/login1/user/%d' % args[0]")}),
                 qPrintable(m_systemBus->errorString()));
        QVERIFY2(m_sessionBus->startMock({FreedesktopSaver, FreedesktopSaverPath, FreedesktopSaver}, FreedesktopSaver),
                 qPrintable(m_sessionBus->errorString()));
        QVERIFY2(m_sessionBus->startMock({QStringLiteral("--template"), QStringLiteral("gnome_screensaver")}, GnomeSaver),
                 qPrintable(m_sessionBus->errorString()));
    }

    void cleanupTestCase()
    {
        m_sessionBus.reset();
        m_systemBus.reset();
    }

    void systemWakesOnlyWhenSleepEnds()
    {
        QObject owner;
        LinuxSystemEvents *events = makeEvents(&owner);
        EventSpies spies(*events);
        SignalProbe sleeps(QDBusConnection::systemBus(), Logind, LogindPath, LogindManager,
                           QStringLiteral("PrepareForSleep"));
        events->start();

        QVERIFY(sleep(true));
        QVERIFY(sleeps.waitFor(1));
        QCOMPARE(spies.systemWake.count(), 0);
        QVERIFY(sleep(false));
        QVERIFY(sleeps.waitFor(2));
        QCOMPARE(spies.systemWake.count(), 1);
        QCOMPARE(spies.screensWake.count() + spies.sessionActive.count() + spies.applicationActive.count(), 0);
    }

    // Desktops may announce one unlock through both screen saver services, or twice on one; only a
    // change from active is a wake.
    void screensWakeOnceWhenTheScreenSaverGoesAway()
    {
        QObject owner;
        LinuxSystemEvents *events = makeEvents(&owner);
        EventSpies spies(*events);
        SignalProbe freedesktop(QDBusConnection::sessionBus(), FreedesktopSaver, FreedesktopSaverPath,
                                FreedesktopSaver, QStringLiteral("ActiveChanged"));
        SignalProbe gnome(QDBusConnection::sessionBus(), GnomeSaver, GnomeSaverPath, GnomeSaver,
                          QStringLiteral("ActiveChanged"));
        events->start();

        QVERIFY(screenSaver(FreedesktopSaver, FreedesktopSaverPath, true));
        QVERIFY(freedesktop.waitFor(1));
        QCOMPARE(spies.screensWake.count(), 0);
        QVERIFY(screenSaver(FreedesktopSaver, FreedesktopSaverPath, false));
        QVERIFY(freedesktop.waitFor(2));
        QCOMPARE(spies.screensWake.count(), 1);

        QVERIFY(screenSaver(GnomeSaver, GnomeSaverPath, false));
        QVERIFY(gnome.waitFor(1));
        QCOMPARE(spies.screensWake.count(), 1);
        QVERIFY(screenSaver(GnomeSaver, GnomeSaverPath, true));
        QVERIFY(screenSaver(GnomeSaver, GnomeSaverPath, false));
        QVERIFY(gnome.waitFor(3));
        QCOMPARE(spies.screensWake.count(), 2);
        QCOMPARE(spies.systemWake.count() + spies.sessionActive.count(), 0);
    }

    void stoppedEventsStayQuietAndRestartsNeverDouble()
    {
        QObject owner;
        LinuxSystemEvents *events = makeEvents(&owner);
        EventSpies spies(*events);
        SignalProbe sleeps(QDBusConnection::systemBus(), Logind, LogindPath, LogindManager,
                           QStringLiteral("PrepareForSleep"));
        SignalProbe savers(QDBusConnection::sessionBus(), FreedesktopSaver, FreedesktopSaverPath, FreedesktopSaver,
                           QStringLiteral("ActiveChanged"));

        events->start();
        events->stop();
        QVERIFY(sleep(false));
        QVERIFY(screenSaver(FreedesktopSaver, FreedesktopSaverPath, false));
        QVERIFY(sleeps.waitFor(1));
        QVERIFY(savers.waitFor(1));
        QCOMPARE(spies.systemWake.count() + spies.screensWake.count(), 0);

        events->start();
        events->start();
        QVERIFY(sleep(false));
        QVERIFY(screenSaver(FreedesktopSaver, FreedesktopSaverPath, false));
        QVERIFY(sleeps.waitFor(2));
        QVERIFY(savers.waitFor(2));
        QCOMPARE(spies.systemWake.count(), 1);
        QCOMPARE(spies.screensWake.count(), 1);
    }

    void unlockOfTheProcessSessionActivatesIt()
    {
        const QString id = QStringLiteral("own%1").arg(++m_sessionCount);
        const QString sessionPath = addSession(id);
        QVERIFY2(!sessionPath.isEmpty(), qPrintable(m_systemBus->errorString()));
        qputenv("XDG_SESSION_ID", id.toUtf8());
        QObject owner;
        LinuxSystemEvents *events = makeEvents(&owner);
        EventSpies spies(*events);
        events->start();
        qunsetenv("XDG_SESSION_ID");

        QTRY_COMPARE(events->sessionPath(), sessionPath);
        checkUnlocksOf(sessionPath, spies);
    }

    // A systemd user service belongs to no session: it follows the user's display session, and says
    // so in the log while there is none.
    void outsideAnySessionTheDisplaySessionIsWatched()
    {
        qunsetenv("XDG_SESSION_ID");
        const QString sessionPath = addSession(QStringLiteral("display%1").arg(++m_sessionCount));
        QVERIFY2(!sessionPath.isEmpty(), qPrintable(m_systemBus->errorString()));
        const QString userPath = QStringLiteral("/org/freedesktop/login1/user/%1").arg(getuid());
        const auto setDisplay = [&](const QString &id, const QString &path) {
            QDBusArgument pair;
            pair.beginStructure();
            pair << id << QDBusObjectPath(path);
            pair.endStructure();
            return m_systemBus->call(Logind, userPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                     QStringLiteral("Set"),
                                     {QStringLiteral("org.freedesktop.login1.User"), QStringLiteral("Display"),
                                      QVariant::fromValue(QDBusVariant(QVariant::fromValue(pair)))});
        };
        QVERIFY2(setDisplay(QString(), QStringLiteral("/")), qPrintable(m_systemBus->errorString()));

        LogCapture log;
        QObject owner;
        LinuxSystemEvents *events = makeEvents(&owner);
        EventSpies spies(*events);
        events->start();
        QTRY_VERIFY(log.contains(QStringLiteral("⚠️ 未找到当前用户的登录会话，解锁触发不可用: 没有图形会话")));
        QVERIFY(events->sessionPath().isEmpty());
        events->stop();

        QVERIFY2(setDisplay(sessionPath.section(QLatin1Char('/'), -1), sessionPath),
                 qPrintable(m_systemBus->errorString()));
        events->start();
        QTRY_COMPARE(events->sessionPath(), sessionPath);
        checkUnlocksOf(sessionPath, spies);
    }

    void missingBusesAreLoggedOnceAndIgnored()
    {
        const QDBusConnection missing =
            QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/netlatch-bus"), QStringLiteral("missing"));
        QVERIFY(!missing.isConnected());
        LogCapture log;
        LinuxSystemEvents events(missing, missing);
        events.start();
        events.start();
        QCOMPARE(log.countStartingWith(QStringLiteral("⚠️ 无法连接系统D-Bus总线")), 1);
        QCOMPARE(log.countStartingWith(QStringLiteral("⚠️ 无法连接会话D-Bus总线")), 1);
        events.stop();
        QDBusConnection::disconnectFromBus(QStringLiteral("missing"));
    }
};

QTEST_GUILESS_MAIN(TestLinuxSystemEvents)
#include "tst_linuxsystemevents.moc"
