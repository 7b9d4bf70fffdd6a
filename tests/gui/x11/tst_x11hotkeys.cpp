#include "TestAppContext.h"
#include "gui/settings/ShortcutRecorderView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/x11/QtKeyDownMonitor.h"
#include "gui/x11/X11HotKeyService.h"
#include "gui/x11/X11TaskbarPresence.h"
#include "shortcuts/GlobalShortcutsManager.h"

#include <QApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QShortcut>
#include <QStandardPaths>
#include <QTest>

#include <xcb/xcb.h>

using namespace Qt::StringLiterals;

namespace {
constexpr quint64 cmd = KeyCombo::command, shift = KeyCombo::shift, ctrl = KeyCombo::control;
const KeyCombo ctrlShiftL{37, cmd | shift};
const KeyCombo ctrlShiftK{40, cmd | shift};
constexpr xcb_keycode_t xKeycodeK = 45; // evdev KEY_K + 8
constexpr quint16 ctrlShiftMask = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
constexpr quint16 numLockMask = XCB_MOD_MASK_2; // where Xvfb's keymap puts NumLock

bool xdotool(const QStringList &arguments)
{
    return QProcess::execute(u"xdotool"_s, arguments) == 0;
}

// Another X client: grabs combinations on the root window as a second application would, and reads
// the server's lock keys.
struct OtherClient
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ~OtherClient() { xcb_disconnect(c); }
    bool grab(quint16 modifiers)
    {
        xcb_generic_error_t *error = xcb_request_check(
            c, xcb_grab_key_checked(c, 0, root, modifiers, xKeycodeK, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(error);
        return !error;
    }
    quint16 locks()
    {
        xcb_query_pointer_reply_t *reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
        const quint16 mask = reply ? reply->mask & (numLockMask | XCB_MOD_MASK_LOCK) : 0;
        free(reply);
        return mask;
    }
};
} // namespace

class TestX11HotKeys : public QObject
{
    Q_OBJECT

    // A quick sign-in hot key wired as the tray wires it, signing in at a local portal.
    struct Fixture
    {
        TestAppContext app;
        X11HotKeyService hotKeys{QProcessEnvironment()};
        QtKeyDownMonitor monitor;
        GlobalShortcutsManager shortcuts{app.preferences, hotKeys, monitor};
    };
    std::optional<Fixture> m_f;
    GlobalShortcutsManager *m_shortcuts = nullptr;
    int m_signedIn = 0;

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != "xcb"_L1)
            QSKIP("no X server to grab keys on");
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            QSKIP("xdotool is not installed: no way to press keys on the X server");
    }

    void init()
    {
        m_f.emplace();
        m_shortcuts = &m_f->shortcuts;
        m_f->app.storeAccount(m_f->app.acceptedUsername, m_f->app.acceptedPassword);
        m_f->app.notifications.addObserver(Notifications::LoginSuccess,
                                           [this](const QVariantMap &) { ++m_signedIn; });
        m_signedIn = 0;
        connect(m_shortcuts, &GlobalShortcutsManager::quickLoginPressed, this, [this] {
            m_f->app.authService->login(m_f->app.acceptedUsername, m_f->app.acceptedPassword);
        });
    }
    void cleanup() { m_f.reset(); }

    void takenCombination_data()
    {
        QTest::addColumn<quint16>("taken");
        QTest::newRow("the combination") << ctrlShiftMask;
        QTest::newRow("only its NumLock variant") << quint16(ctrlShiftMask | numLockMask);
    }
    void takenCombination()
    {
        QFETCH(quint16, taken);
        {
            OtherClient other;
            QVERIFY(other.grab(taken));
            m_shortcuts->setQuickLoginShortcut(ctrlShiftL);
            m_shortcuts->setShowWindowShortcut(ctrlShiftK);
            QVERIFY(m_shortcuts->hotKeyRefs()[0]);
            QVERIFY(!m_shortcuts->hotKeyRefs()[1]);
        }
        // The variants that were granted before the refusal were given back.
        {
            OtherClient next;
            for (int lock : {0, int(XCB_MOD_MASK_LOCK), int(numLockMask), numLockMask | XCB_MOD_MASK_LOCK})
                QVERIFY2(next.grab(quint16(ctrlShiftMask | lock)), qPrintable(QString::number(lock)));
        }
        m_shortcuts->registerHotKeys();
        QVERIFY(m_shortcuts->hotKeyRefs()[1]);
    }

    // Recorded in the pane from real X key presses (read by position: Ctrl+Shift+1 arrives as "!"),
    // before the application's own shortcut can take them; the hot key then signs in at a local portal,
    // with the lock keys on or off.
    void recordedInThePaneAndSignsIn_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("locks");
        QTest::newRow("Ctrl+Shift+L") << u"ctrl+shift+l"_s << ctrlShiftL << u"Ctrl+Shift+L"_s << QStringList();
        QTest::newRow("Ctrl+Shift+1, NumLock on")
            << u"ctrl+shift+1"_s << KeyCombo{18, cmd | shift} << u"Ctrl+Shift+1"_s << QStringList{u"Num_Lock"_s};
        QTest::newRow("Super+Space, Caps Lock on")
            << u"super+space"_s << KeyCombo{49, ctrl} << u"Meta+Space"_s << QStringList{u"Caps_Lock"_s};
    }
    void recordedInThePaneAndSignsIn()
    {
        QFETCH(QString, keys);
        QFETCH(KeyCombo, combo);
        QFETCH(QString, shown);
        QFETCH(QStringList, locks);
        ShortcutsSettingsView pane(*m_shortcuts);
        int applicationShortcut = 0;
        connect(new QShortcut(QKeySequence(u"Ctrl+Shift+L"_s), &pane), &QShortcut::activated, this,
                [&] { ++applicationShortcut; });
        pane.show();
        pane.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        auto *recorder = pane.findChild<ShortcutRecorderView *>(u"quickLoginRecorder"_s);
        QTest::mouseClick(recorder, Qt::LeftButton);
        QVERIFY(xdotool({u"key"_s, keys}));
        QTRY_COMPARE(recorder->text(), shown);
        QCOMPARE(m_shortcuts->quickLoginShortcut(), combo);
        QCOMPARE(applicationShortcut, 0);
        QVERIFY(m_shortcuts->hotKeyRefs()[0]);

        const auto toggleLocks = [&] {
            for (const QString &lock : locks)
                xdotool({u"key"_s, lock});
        };
        toggleLocks();
        const auto unlock = qScopeGuard(toggleLocks);
        const quint16 expectedLocks = (locks.contains(u"Num_Lock"_s) ? numLockMask : 0) |
                                      (locks.contains(u"Caps_Lock"_s) ? XCB_MOD_MASK_LOCK : 0);
        QCOMPARE(OtherClient().locks(), expectedLocks);
        QVERIFY(xdotool({u"key"_s, keys}));
        QTRY_COMPARE(m_signedIn, 1);
        QCOMPARE(m_f->app.loginPosts.load(), 1);
    }

    // Hot keys and the taskbar switch follow the session type, not the Qt platform: on XWayland the
    // application speaks X11, but the desktop grants neither.
    void capabilitiesFollowTheSession()
    {
        for (const auto &[variable, value, supported] : {std::tuple{"XDG_SESSION_TYPE", "x11", true},
                                                         std::tuple{"XDG_SESSION_TYPE", "wayland", false},
                                                         std::tuple{"WAYLAND_DISPLAY", "wayland-0", false}}) {
            QProcessEnvironment environment;
            environment.insert(QString::fromLatin1(variable), QString::fromLatin1(value));
            X11HotKeyService service(environment);
            QCOMPARE(service.canRegisterHotKeys(), supported);
            QCOMPARE(service.registerHotKey(ctrlShiftK.keyCode, ctrlShiftK.hotKeyModifiers(), {1, 1}).has_value(),
                     supported);
            QCOMPARE(X11TaskbarPresence(environment).isSupported(), supported);
        }
    }
};

QTEST_MAIN(TestX11HotKeys)
#include "tst_x11hotkeys.moc"
