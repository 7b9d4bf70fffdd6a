#include "FakeHotKeyService.h"
#include "gui/settings/ShortcutRecorderView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/x11/QtKeyDownMonitor.h"
#include "shortcuts/GlobalShortcutsManager.h"
#include "shortcuts/KeyComboCodable.h"
#include "store/Preferences.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
const QString quickLogin = u"quickLoginRecorder"_s;
const QString showWindow = u"showWindowRecorder"_s;
const QString recording = u"按下快捷键..."_s;
const QString unset = u"未设置"_s;
constexpr quint64 cmd = KeyCombo::command, shift = KeyCombo::shift, opt = KeyCombo::option,
                  ctrl = KeyCombo::control;

// A key press and release as the xcb platform delivers them: Qt's key, the modifiers, the xkb
// keycode as native scan code; the shortcut override first, as Qt sends it before every press.
void typeKey(int key, Qt::KeyboardModifiers modifiers, quint32 scanCode, const QString &text = {})
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, key, modifiers, scanCode, 0, 0, text);
        QApplication::sendEvent(target, &event);
    }
}
} // namespace

class TestShortcutsSettingsView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<Preferences> m_preferences;
    std::optional<FakeHotKeyService> m_hotKeys;
    std::optional<QtKeyDownMonitor> m_monitor;
    std::optional<GlobalShortcutsManager> m_shortcuts;
    std::unique_ptr<QWidget> m_window;
    QLineEdit *m_field = nullptr;
    ShortcutsSettingsView *m_pane = nullptr;

    ShortcutRecorderView *recorder(const QString &name)
    {
        return m_pane->findChild<ShortcutRecorderView *>(name);
    }

    // The pane in a window beside a text field that holds the focus.
    void open()
    {
        m_shortcuts.emplace(*m_preferences, *m_hotKeys, *m_monitor);
        m_window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_window.get());
        layout->addWidget(m_field = new QLineEdit);
        layout->addWidget(m_pane = new ShortcutsSettingsView(*m_shortcuts));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        m_field->setFocus();
        QTRY_VERIFY(m_field->hasFocus());
    }

private Q_SLOTS:
    void init()
    {
        m_preferences.emplace(
            std::make_unique<QSettings>(m_dir.filePath(u"prefs.ini"_s), QSettings::IniFormat));
        m_preferences->remove(PreferenceKeys::quickLoginShortcut);
        m_preferences->remove(PreferenceKeys::showWindowShortcut);
        m_hotKeys.emplace();
        m_monitor.emplace();
    }
    void cleanup()
    {
        m_window.reset();
        m_shortcuts.reset();
    }

    // The capture reads a key's position, whatever it types or the layout calls it (the X11 test
    // records Ctrl+Shift+L and Ctrl+Shift+1 from real key presses), and shows it as the desktop writes it.
    void records_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("shown");
        QTest::newRow("A on AZERTY, Q position") << int(Qt::Key_A) << Qt::KeyboardModifiers() << 24u
                                                 << KeyCombo{12, 0} << u"Q"_s;
        QTest::newRow("Meta+Alt+keypad 5") << int(Qt::Key_5)
                                           << (Qt::MetaModifier | Qt::AltModifier | Qt::KeypadModifier) << 84u
                                           << KeyCombo{87, opt | ctrl} << u"Meta+Alt+Num+5"_s;
        // Qt has no name for the key at this position: its own text would be garbage.
        QTest::newRow("Shift+volume up") << int(Qt::Key_VolumeUp) << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                         << 123u << KeyCombo{72, shift} << u"Shift+Key"_s;
    }
    void records()
    {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(quint32, scanCode);
        QFETCH(KeyCombo, combo);
        QFETCH(QString, shown);
        open();
        QTest::mouseClick(recorder(showWindow), Qt::LeftButton);
        m_field->setFocus();
        typeKey(Qt::Key_Control, Qt::ControlModifier, 37); // a bare modifier is no key
        QVERIFY(m_shortcuts->isRecording());
        typeKey(key, modifiers, scanCode, u"x"_s);
        QTRY_COMPARE(recorder(showWindow)->text(), shown);
        QCOMPARE(m_field->text(), QString()); // the recorded press reached no widget
        QCOMPARE(m_preferences->dataValue(PreferenceKeys::showWindowShortcut), KeyComboCodable::encode(combo));
        QCOMPARE(m_hotKeys->liveRegistrations().size(), 1);
        QCOMPARE(m_hotKeys->liveRegistrations().first().keyCode, combo.keyCode);

        typeKey(Qt::Key_B, {}, 56, u"b"_s); // the next press is the application's again
        QCOMPARE(m_field->text(), u"b"_s);
    }

    // A second click, hiding the pane or closing it disarms without a change; the keys are the
    // application's again and the stored shortcut is registered again.
    void disarmingKeepsTheShortcut()
    {
        m_preferences->setData(PreferenceKeys::showWindowShortcut, KeyComboCodable::encode({49, ctrl}));
        open();
        QTest::mouseClick(recorder(showWindow), Qt::LeftButton);
        QVERIFY(m_hotKeys->live.empty());
        QTest::mouseClick(recorder(showWindow), Qt::LeftButton);
        QCOMPARE(recorder(showWindow)->text(), u"Meta+Space"_s);
        QCOMPARE(m_hotKeys->liveRegistrations().size(), 1);
        m_field->setFocus();
        typeKey(Qt::Key_A, {}, 38, u"a"_s);
        QCOMPARE(m_field->text(), u"a"_s);

        QTest::mouseClick(recorder(quickLogin), Qt::LeftButton);
        m_window->hide();
        QVERIFY(!m_shortcuts->isRecording());
        QCOMPARE(recorder(quickLogin)->text(), unset);
        m_window->show();
        QTest::mouseClick(recorder(showWindow), Qt::LeftButton);
        m_window.reset();
        QVERIFY(!m_shortcuts->isRecording());
        QCOMPARE(m_shortcuts->showWindowShortcut(), (KeyCombo{49, ctrl}));
    }

    void oneCaptureForBothBoxes()
    {
        open();
        QTest::mouseClick(recorder(quickLogin), Qt::LeftButton);
        QTest::mouseClick(recorder(showWindow), Qt::LeftButton);
        QCOMPARE(recorder(quickLogin)->text(), unset); // it no longer waits for a key
        QCOMPARE(recorder(showWindow)->text(), recording);
        m_field->setFocus();
        typeKey(Qt::Key_K, Qt::ControlModifier, 45);
        QTRY_COMPARE(recorder(showWindow)->text(), u"Ctrl+K"_s);
        QCOMPARE(m_shortcuts->quickLoginShortcut(), std::nullopt);
        QCOMPARE(m_shortcuts->showWindowShortcut(), (KeyCombo{40, cmd}));
    }

    void refusedAndUnavailable()
    {
        const auto note = [this](const QString &name) { return m_pane->findChild<QLabel *>(name); };
        m_preferences->setData(PreferenceKeys::quickLoginShortcut,
                               KeyComboCodable::encode({37, cmd | shift}));
        m_hotKeys->refused.append({37, 0x300});
        open();
        QVERIFY(note(u"quickLoginRefusedNote"_s)->isVisible() &&
                !note(u"showWindowRefusedNote"_s)->isVisible());
        QTest::mouseClick(recorder(quickLogin), Qt::LeftButton); // off on purpose while armed: no refusal
        QVERIFY(!note(u"quickLoginRefusedNote"_s)->isVisible());
        cleanup();

        m_hotKeys->available = false; // a Wayland session
        open();
        QVERIFY(note(u"waylandNote"_s)->isVisible() && !note(u"quickLoginRefusedNote"_s)->isVisible());
        QVERIFY(!recorder(quickLogin)->isEnabled() && !recorder(showWindow)->isEnabled());
        QCOMPARE(recorder(quickLogin)->text(), u"Ctrl+Shift+L"_s); // stored data still shows
        // What works instead: a command to bind in the desktop's keyboard settings, copied by a click.
        QTest::mouseClick(m_pane->findChild<QPushButton *>(u"copyCommand0"_s), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"gapplication action app.netlatch.Netlatch quick-login"_s);
    }
};

QTEST_MAIN(TestShortcutsSettingsView)
#include "tst_shortcutssettingsview.moc"
