#include "FakeTaskbarPresence.h"
#include "Netlatchctl.h"
#include "PrivateDBus.h"
#include "TestAppContext.h"

#include "app/NetlatchApp.h"
#include "autologin/AutoLoginManager.h"
#include "common/InstanceLock.h"
#include "desktop/DockIconManager.h"
#include "gui/shell/AppDelegate.h"
#include "gui/x11/X11TaskbarPresence.h"
#include "platform/linux/FreedesktopApplication.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <xcb/xcb.h>

using namespace Qt::Literals::StringLiterals;

namespace {
xcb_connection_t *x11()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t atom(const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(x11(), xcb_intern_atom(x11(), 0, uint16_t(strlen(name)), name), nullptr),
        &std::free);
    return reply->atom;
}

std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>
property(xcb_window_t window, const char *name, xcb_atom_t type, uint32_t length)
{
    return {xcb_get_property_reply(x11(), xcb_get_property(x11(), 0, window, atom(name), type, 0, length),
                                   nullptr),
            &std::free};
}

/// The window's _NET_WM_STATE as the window manager keeps it, by the names of the skip states found.
QStringList skipStates(QWidget &window)
{
    QStringList found;
    const auto reply = property(xcb_window_t(window.winId()), "_NET_WM_STATE", XCB_ATOM_ATOM, 1024);
    const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    for (int i = 0; reply && i < xcb_get_property_value_length(reply.get()) / 4; ++i) {
        for (const char *name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
            if (atoms[i] == atom(name))
                found << QString::fromLatin1(name);
        }
    }
    found.sort();
    return found;
}

/// A window manager names itself on the root window once it runs.
bool windowManagerIsUp()
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    const auto reply = property(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, 1);
    return reply && xcb_get_property_value_length(reply.get()) == 4;
}

const QStringList Skipped{u"_NET_WM_STATE_SKIP_PAGER"_s, u"_NET_WM_STATE_SKIP_TASKBAR"_s};

/// The values of `key` in the application menu entry, in order (the main group's, then each action's).
QStringList entryValues(const QString &key)
{
    QFile file(qEnvironmentVariable("NETLATCH_SOURCE_DIR") + u"/data/app.netlatch.Netlatch.desktop"_s);
    QStringList values;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (line.startsWith(key + u'='))
                values << line.mid(key.size() + 1);
        }
    }
    return values;
}
} // namespace

/// The application on a desktop: a real X server with openbox as window manager, a private session
/// bus. The application menu entry, the taskbar entry read back from the window manager's state, a
/// second launch bringing the running instance's window forward, the ways out of the running program,
/// and the engine left to a running netlatchctl daemon.
class TestDesktop : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_bus;
    QProcess m_windowManager;
    QTemporaryDir m_runtime;

    QProcessEnvironment childEnvironment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_RUNTIME_DIR"_s, m_runtime.path());
        environment.insert(u"DBUS_SYSTEM_BUS_ADDRESS"_s, u"unix:path=/nonexistent"_s);
        return environment;
    }

    static QString program(const QString &relativePath)
    {
        return qEnvironmentVariable("NETLATCH_BINARY_DIR") + relativePath;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("needs an X server (run under xvfb-run)");
        if (QStandardPaths::findExecutable(u"openbox"_s).isEmpty())
            QSKIP("needs the openbox window manager (scripts/install-deps.sh installs it)");
        m_bus = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_windowManager.start(u"openbox"_s, {u"--sm-disable"_s});
        QVERIFY(m_windowManager.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(windowManagerIsUp(), 15000);
        // A window mapped while openbox is still starting may never be managed: a first window that
        // gets on screen tells that it has settled.
        QWidget probe;
        bool settled = false;
        for (int attempt = 0; attempt < 10 && !settled; ++attempt) {
            probe.show();
            settled = QTest::qWaitForWindowExposed(&probe, 1000);
            probe.hide();
        }
        QVERIFY(settled);
    }

    void cleanupTestCase()
    {
        m_windowManager.terminate();
        m_windowManager.waitForFinished();
    }

    // Hidden means both skip states, set again at every show (the window manager drops them on
    // hide); a restart with "hideDockIcon" starts without the entry.
    void taskbarEntry()
    {
        TestAppContext app;
        std::unique_ptr<X11TaskbarPresence> presence;
        std::unique_ptr<DockIconManager> dock;
        std::unique_ptr<QWidget> window;
        const auto start = [&] { // as the program starts: a presence, the switch, one window shown
            window.reset();
            dock.reset();
            presence = std::make_unique<X11TaskbarPresence>();
            dock = std::make_unique<DockIconManager>(app.preferences, *presence);
            window = std::make_unique<QWidget>();
            presence->addWindow(window.get());
            window->show();
            return QTest::qWaitForWindowExposed(window.get());
        };
        QVERIFY(start());
        QVERIFY(presence->isSupported());
        QCOMPARE(skipStates(*window), QStringList());

        dock->hideDockIcon();
        QTRY_COMPARE(skipStates(*window), Skipped);
        window->hide();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(skipStates(*window), Skipped);
        dock->showDockIcon();
        QTRY_COMPARE(skipStates(*window), QStringList());

        dock->hideDockIcon();
        QVERIFY(start());
        QCOMPARE(skipStates(*window), Skipped);
    }

    // Launching again, by a second netlatch or by gapplication, reaches this instance: the closed or
    // minimised window comes forward and the second process ends with 0. The setup finished meanwhile
    // (from the tray) takes effect at the show: the settings are not cut off.
    void secondLaunchBringsTheWindowForward_data()
    {
        QTest::addColumn<QString>("launcher");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("minimised"); // else closed
        QTest::newRow("closed, netlatch") << program(u"/src/app/netlatch"_s) << QStringList() << false;
        QTest::newRow("minimised, gapplication")
            << u"gapplication"_s << QStringList{u"launch"_s, u"app.netlatch.Netlatch"_s} << true;
    }

    void secondLaunchBringsTheWindowForward()
    {
        QFETCH(QString, launcher);
        QFETCH(QStringList, arguments);
        QFETCH(bool, minimised);
        TestAppContext app;
        app.preferences.setText(PreferenceKeys::lastShownVersion, VersionManager::currentVersion);
        app.preferences.setBool(PreferenceKeys::hasShownWelcome, true); // opens on the account setup
        FakeTaskbarPresence presence;
        DockIconManager dock(app.preferences, presence);
        AppDelegate delegate(app.context(), dock);
        FreedesktopApplication service(QDBusConnection::sessionBus(), {});
        QVERIFY(service.registerService());
        connect(&service, &FreedesktopApplication::activateRequested, &delegate,
                &AppDelegate::applicationShouldHandleReopen);
        delegate.createMainWindow();
        QWidget *window = delegate.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (minimised)
            window->showMinimized();
        else
            window->close();
        app.notifications.post(Notifications::ResizeWindowForSettings);

        QProcess second;
        second.setProcessEnvironment(childEnvironment());
        second.setProcessChannelMode(QProcess::ForwardedChannels);
        second.start(launcher, arguments);
        // Not waitForFinished(): the second process waits for this one's answer.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 30000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(delegate.mainWindow(), window);
        QTRY_VERIFY(window->isVisible() && !window->isMinimized());
        QTRY_VERIFY(window->isActiveWindow());
        QTRY_COMPARE(window->size(), QSize(700, 500));
        QCOMPARE(QApplication::topLevelWidgets().count(window), 1);
    }

    // Every way out of the running program is its quit: exit 0 (under the sanitizers: no report) and
    // the engine lock let go. An unknown action (a hostile name, over D-Bus) gets an error reply and an
    // escaped, shortened log line; the application menu entry's actions, launched as the desktop runs
    // them, reach the running instance and end at once, and so does "quit", which ends it.
    void quitIsCleanOnEveryPath_data()
    {
        QTest::addColumn<int>("signal"); // 0: the entry's actions, then the quit action
        QTest::newRow("entry actions, then quit") << 0;
        QTest::newRow("SIGTERM (log-out)") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void quitIsCleanOnEveryPath()
    {
        QFETCH(int, signal);
        QProcess netlatch;
        netlatch.setProcessEnvironment(childEnvironment());
        netlatch.start(program(u"/src/app/netlatch"_s), {u"--verbose"_s});
        const InstanceLock engineLock(AutoLoginManager::instanceLockName, m_runtime.path());
        QTRY_COMPARE_WITH_TIMEOUT(engineLock.holderPid(), netlatch.processId(), 30000);

        const QString object = FreedesktopApplication::objectPath(), interface = FreedesktopApplication::interfaceName;
        QDBusMessage unknown = QDBusMessage::createMethodCall(FreedesktopApplication::applicationId, object, interface,
                                                              u"ActivateAction"_s);
        unknown.setArguments({QString(u"forged\n🔍 line"_s + QString(100000, u'x')), QVariantList(), QVariantMap()});
        QCOMPARE(QDBusConnection::sessionBus().call(unknown).type(), QDBusMessage::ErrorMessage);
        if (signal == 0) {
            const QStringList actions = entryValues(u"Exec"_s).mid(1);
            QCOMPARE(actions.size(), 2); // quick-login, show-main-window
            for (const QString &exec : actions + QStringList{u"netlatch --action quit"_s}) {
                QProcess action;
                action.setProcessEnvironment(childEnvironment());
                action.start(program(u"/src/app/netlatch"_s), exec.split(u' ').mid(1)); // Exec names the program
                QVERIFY(action.waitForFinished(30000));
                QCOMPARE(action.exitCode(), 0);
            }
        } else {
            ::kill(pid_t(netlatch.processId()), signal);
        }
        QVERIFY(netlatch.waitForFinished(30000));
        const QByteArray err = netlatch.readAllStandardError();
        QCOMPARE(netlatch.exitStatus(), QProcess::NormalExit);
        QVERIFY2(netlatch.exitCode() == 0 && !err.contains("Sanitizer"), err.right(4000).constData());
        QVERIFY(err.contains((FreedesktopApplication::unknownActionLog + u"\"forged\\u000a🔍 line"_s).toUtf8()));
        QVERIFY(err.size() < 50000); // the 100,000-character name is not logged whole
        QCOMPARE(engineLock.holderPid(), 0);
    }

    // Looking at the engine (autologin status) never takes its lock: a daemon starting meanwhile
    // always gets the engine. netlatch, started while the daemon runs it, goes without it and takes it
    // over once the daemon stops; its pane's engine line follows.
    void theEngineIsRunByExactlyOneProcess()
    {
        const QProcessEnvironment environment = childEnvironment();
        const QString netlatchctl = program(u"/src/cli/netlatchctl"_s);
        QCOMPARE(runProgram(netlatchctl, {u"autologin"_s, u"on"_s}, {}, environment).exitCode, 0);
        QProcess looking;
        looking.setProcessEnvironment(environment);
        looking.start(u"sh"_s, {u"-c"_s, u"while :; do \"$0\" autologin status >/dev/null; done"_s, netlatchctl});
        const InstanceLock lock(AutoLoginManager::instanceLockName, m_runtime.path());
        QProcess daemon;
        daemon.setProcessEnvironment(environment);
        for (int start = 0; start < 20; ++start) {
            daemon.start(netlatchctl, {u"daemon"_s});
            QVERIFY(daemon.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(lock.holderPid() == daemon.processId() || daemon.state() != QProcess::Running, 20000);
            QVERIFY2(daemon.state() == QProcess::Running, daemon.readAllStandardError().constData());
            daemon.terminate();
            QVERIFY(daemon.waitForFinished());
        }
        looking.kill();
        looking.waitForFinished();

        daemon.start(netlatchctl, {u"daemon"_s});
        QTRY_COMPARE_WITH_TIMEOUT(lock.holderPid(), daemon.processId(), 20000);
        QProcess netlatch;
        netlatch.setProcessEnvironment(environment);
        netlatch.start(program(u"/src/app/netlatch"_s), {u"--verbose"_s});
        QByteArray err;
        const QByteArray elsewhere = NetlatchApp::engineElsewhereLog.arg(daemon.processId()).toUtf8();
        QTRY_VERIFY2_WITH_TIMEOUT((err += netlatch.readAllStandardError()).contains(elsewhere), err.constData(), 30000);
        daemon.terminate();
        QVERIFY(daemon.waitForFinished());
        QTRY_COMPARE_WITH_TIMEOUT(lock.holderPid(), netlatch.processId(), 10000);
        QTRY_VERIFY((err += netlatch.readAllStandardError()).contains(NetlatchApp::engineTakenOverLog.toUtf8()));
        netlatch.terminate();
        QVERIFY(netlatch.waitForFinished());
        QCOMPARE(netlatch.exitCode(), 0);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
