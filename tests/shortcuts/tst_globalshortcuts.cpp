#include "TestAppContext.h"
#include "shortcuts/KeyComboCodable.h"
#include "shortcuts/KeyPositions.h"

#include <QSignalSpy>
#include <QTest>

#include <linux/input-event-codes.h>

using namespace Qt::StringLiterals;
using Registration = FakeHotKeyService::Registration;

namespace {
constexpr quint64 cmd = KeyCombo::command, shift = KeyCombo::shift, opt = KeyCombo::option,
                  ctrl = KeyCombo::control;
const KeyCombo cmdShiftL{37, cmd | shift};
constexpr quint32 QLGN = fourCharCode("QLGN"), SWIN = fourCharCode("SWIN");
} // namespace

// The manager over the test context's scratch preferences, fake hot keys and fake key capture.
class TestGlobalShortcuts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unreadableStoredForm_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("keyCode without modifiers") << QByteArray(R"({"keyCode":37})");
        QTest::newRow("modifiers without keyCode") << QByteArray(R"({"modifiers":1179648})");
        QTest::newRow("keyCode past 16 bits") << QByteArray(R"({"keyCode":65536,"modifiers":0})");
        QTest::newRow("number as text") << QByteArray(R"({"keyCode":"37","modifiers":0})");
        QTest::newRow("not JSON") << QByteArray("\x80garbage");
    }
    // The stored form is the portable one, and anything else stored reads as unset.
    void unreadableStoredForm()
    {
        QCOMPARE(KeyComboCodable::encode(cmdShiftL), R"({"keyCode":37,"modifiers":1179648})");
        QFETCH(QByteArray, data);
        QCOMPARE(KeyComboCodable::decode(data), std::nullopt);
        TestAppContext app;
        app.preferences.setData(PreferenceKeys::quickLoginShortcut, data);
        GlobalShortcutsManager shortcuts(app.preferences, app.hotKeys, app.keyDownMonitor);
        QCOMPARE(shortcuts.quickLoginShortcut(), std::nullopt);
        QVERIFY(app.hotKeys.live.empty());
    }

    // Every stored position maps to an evdev key and back (the X11 test presses real ones); keys the
    // Mac never named get codes of their own past the table.
    void keyPositions()
    {
        for (int code = 0; code < 128; ++code) {
            if (const auto evdev = KeyPositions::evdevCode(quint16(code)))
                QCOMPARE(KeyPositions::keyCode(*evdev), quint16(code));
        }
        const quint16 printScreen = KeyPositions::keyCode(KEY_SYSRQ);
        QCOMPARE(printScreen, KeyPositions::unmappedBase + KEY_SYSRQ);
        QCOMPARE(KeyPositions::evdevCode(printScreen), quint16(KEY_SYSRQ));
        QCOMPARE(KeyPositions::evdevCode(52), std::nullopt); // a code the Mac never assigned
    }

    // Each shortcut has a registration of its own, dropped with the shortcut; a press reaches an
    // action only when both its signature and its ID are that action's.
    void registration()
    {
        TestAppContext app;
        GlobalShortcutsManager &shortcuts = app.shortcuts;
        shortcuts.setShowWindowShortcut(KeyCombo{49, ctrl | opt});
        shortcuts.setQuickLoginShortcut(cmdShiftL);
        QCOMPARE(app.hotKeys.liveRegistrations(),
                 (QList<Registration>{{37, 0x300, QLGN, 1}, {49, 0x1800, SWIN, 2}}));

        shortcuts.setQuickLoginShortcut(std::nullopt);
        QCOMPARE(app.preferences.dataValue(PreferenceKeys::quickLoginShortcut), std::nullopt);
        QCOMPARE(app.hotKeys.liveRegistrations(), (QList<Registration>{{49, 0x1800, SWIN, 2}}));

        QSignalSpy quickLogin(&shortcuts, &GlobalShortcutsManager::quickLoginPressed);
        QSignalSpy showWindow(&shortcuts, &GlobalShortcutsManager::showWindowPressed);
        app.hotKeys.press(GlobalShortcutsManager::showWindowHotKey);
        app.hotKeys.press({QLGN, 2});
        QCOMPARE(quickLogin.size(), 0);
        QCOMPARE(showWindow.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestGlobalShortcuts)
#include "tst_globalshortcuts.moc"
