#include "TestAppContext.h"
#include "gui/settings/ShortcutRecorderView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/x11/QtKeyDownMonitor.h"
#include "gui/x11/X11HotKeyService.h"
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

xcb_connection_t *connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_window_t rootOf(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// The server's current modifier and lock state.
quint16 keyboardState()
{
    xcb_query_pointer_reply_t *reply =
        xcb_query_pointer_reply(connection(), xcb_query_pointer(connection(), rootOf(connection())), nullptr);
    const quint16 mask = reply ? reply->mask : 0;
    free(reply);
    return mask;
}

// Another X client: grabs combinations on the root window as a second application would.
struct OtherClient
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    ~OtherClient() { xcb_disconnect(c); }
    bool grab(quint16 modifiers)
    {
        xcb_generic_error_t *error =
            xcb_request_check(c, xcb_grab_key_checked(c, 0, rootOf(c), modifiers, xKeycodeK,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(error);
        return !error;
    }
};
} // namespace

class TestX11HotKeys : public QObject
{
    Q_OBJECT

    std::optional<TestAppContext> m_app;
    std::optional<X11HotKeyService> m_hotKeys;
    std::optional<QtKeyDownMonitor> m_monitor;
    std::optional<GlobalShortcutsManager> m_shortcuts;
    int m_signedIn = 0;

private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != "xcb"_L1)
            QSKIP("no X server to grab keys on");
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            QSKIP("xdotool is not installed: no way to press keys on the X server");
    }

    // A quick sign-in hot key wired as the tray wires it, signing in at a local portal.
    void init()
    {
        m_app.emplace();
        m_app->storeAccount(m_app->acceptedUsername, m_app->acceptedPassword);
        m_app->notifications.addObserver(Notifications::LoginSuccess,
                                         [this](const QVariantMap &) { ++m_signedIn; });
        m_signedIn = 0;
        m_hotKeys.emplace(QProcessEnvironment());
        m_monitor.emplace();
        m_shortcuts.emplace(m_app->preferences, *m_hotKeys, *m_monitor);
        connect(&*m_shortcuts, &GlobalShortcutsManager::quickLoginPressed, this, [this] {
            m_app->authService->login(m_app->acceptedUsername, m_app->acceptedPassword);
        });
    }
    void cleanup()
    {
        m_shortcuts.reset();
        m_monitor.reset();
        m_hotKeys.reset();
        m_app.reset();
    }

    void hotKeySignsIn_data()
    {
        QTest::addColumn<QStringList>("locks");
        QTest::newRow("no lock key") << QStringList();
        QTest::newRow("NumLock on") << QStringList{u"Num_Lock"_s};
        QTest::newRow("Caps Lock on") << QStringList{u"Caps_Lock"_s};
        QTest::newRow("both on") << QStringList{u"Num_Lock"_s, u"Caps_Lock"_s};
    }
    void hotKeySignsIn()
    {
        QFETCH(QStringList, locks);
        m_shortcuts->setQuickLoginShortcut(ctrlShiftL);
        QVERIFY(m_shortcuts->hotKeyRefs()[0]);
        const auto unlock = qScopeGuard([&] {
            for (const QString &lock : locks)
                xdotool({u"key"_s, lock});
        });
        for (const QString &lock : locks)
            QVERIFY(xdotool({u"key"_s, lock}));
        const quint16 expectedLocks = (locks.contains(u"Num_Lock"_s) ? numLockMask : 0) |
                                      (locks.contains(u"Caps_Lock"_s) ? XCB_MOD_MASK_LOCK : 0);
        QCOMPARE(keyboardState() & (numLockMask | XCB_MOD_MASK_LOCK), expectedLocks);

        QVERIFY(xdotool({u"key"_s, u"ctrl+shift+l"_s}));
        QTRY_COMPARE(m_signedIn, 1);
        QCOMPARE(m_app->loginPosts.load(), 1);
    }

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

    void recordedInThePane_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("shown");
        QTest::newRow("Ctrl+Shift+L") << u"ctrl+shift+l"_s << ctrlShiftL << u"⌘ ⇧ L"_s;
        QTest::newRow("Ctrl+Shift+1") << u"ctrl+shift+1"_s << KeyCombo{18, cmd | shift} << u"⌘ ⇧ Key"_s;
        QTest::newRow("Super+Space") << u"super+space"_s << KeyCombo{49, ctrl} << u"⌃ Space"_s;
    }
    void recordedInThePane()
    {
        QFETCH(QString, keys);
        QFETCH(KeyCombo, combo);
        QFETCH(QString, shown);
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

        QVERIFY(xdotool({u"key"_s, keys}));
        QTRY_COMPARE(m_signedIn, 1);
    }

    void noHotKeysOnWayland_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("value");
        QTest::newRow("Wayland session") << u"XDG_SESSION_TYPE"_s << u"wayland"_s;
        QTest::newRow("Wayland display") << u"WAYLAND_DISPLAY"_s << u"wayland-0"_s;
    }
    void noHotKeysOnWayland()
    {
        QFETCH(QString, variable);
        QFETCH(QString, value);
        QProcessEnvironment environment;
        environment.insert(variable, value);
        X11HotKeyService service(environment);
        QVERIFY(!service.canRegisterHotKeys());
        QCOMPARE(service.registerHotKey(ctrlShiftK.keyCode, ctrlShiftK.hotKeyModifiers(), {1, 1}),
                 std::nullopt);
    }
};

QTEST_MAIN(TestX11HotKeys)
#include "tst_x11hotkeys.moc"
