// The settings window and its panes on the offscreen platform, over a scratch preference file, a fake
// secret store, a fake Wi-Fi client, fake hot keys and a local portal on 127.0.0.1.
#include "HistoryAnswer.h"
#include "TestAppContext.h"

#include "gui/settings/AutoLoginSettingsView.h"
#include "gui/settings/DateDistributionChart.h"
#include "gui/settings/GeneralSettingsView.h"
#include "gui/settings/HistoryRecordRow.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/settings/ShortcutRecorderView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/settings/StatisticsCard.h"
#include "gui/settings/StatisticsRow.h"
#include "gui/settings/StatisticsView.h"
#include "gui/widgets/Theme.h"
#include "gui/x11/QtKeyDownMonitor.h"
#include "shortcuts/KeyComboCodable.h"
#include "stats/LoginHistoryDatabase.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// The statistics pane's "now".
const QDateTime now(QDate(2026, 3, 20), QTime(12, 0));

QJsonObject record(int daysAgo, int secondsEarlier = 0)
{
    const qint64 timestamp = now.addDays(-daysAgo).toSecsSinceEpoch() - secondsEarlier;
    return {{"username", "demo"},
            {"timestamp", timestamp},
            {"date", StatisticsManager::formatTimestamp(timestamp, StatisticsManager::datePattern)},
            {"time", StatisticsManager::formatTimestamp(timestamp, StatisticsManager::timePattern)}};
}

// The shortcuts pane.
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

class TestSettingsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppContext> m_t;
    std::unique_ptr<QWidget> m_pane;
    int m_quits = 0;
    QtKeyDownMonitor m_monitor;
    std::optional<GlobalShortcutsManager> m_shortcuts; // over Qt's key capture, for the shortcuts pane
    QLineEdit *m_field = nullptr;

    template <typename Pane> Pane *showPane()
    {
        auto *pane = new Pane(m_t->context());
        m_pane.reset(pane);
        pane->resize(SettingsWindowView::defaultSize);
        pane->show();
        return pane;
    }
    template <typename Child = QWidget> Child *find(const QString &name) const
    {
        return m_pane->findChild<Child *>(name);
    }
    static void click(QWidget *parent, const char *name)
    {
        QTest::mouseClick(parent->findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);
    }

    StatisticsView *statisticsPane()
    {
        m_t->clock.set(now);
        auto *pane = new StatisticsView(*m_t->statistics);
        m_pane.reset(pane);
        return pane;
    }
    void store(const QJsonArray &records)
    {
        m_t->preferences.setData(PreferenceKeys::loginRecords, QJsonDocument(records).toJson());
    }
    QString shownTotal() const { return find<StatisticsCard>("totalCard")->value(); }

    // The shortcuts pane, over what is stored now, in a window beside a text field that holds the focus.
    void open()
    {
        m_shortcuts.emplace(m_t->preferences, m_t->hotKeys, m_monitor);
        m_pane = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(m_pane.get());
        layout->addWidget(m_field = new QLineEdit);
        layout->addWidget(new ShortcutsSettingsView(*m_shortcuts));
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
        m_pane->activateWindow();
        m_field->setFocus();
        QTRY_VERIFY(m_field->hasFocus());
    }

private Q_SLOTS:
    void init()
    {
        m_t = std::make_unique<TestAppContext>();
        m_quits = 0;
        m_t->context().quitApplication = [this] { ++m_quits; };
        m_t->context().durationScale = 0.02;
    }

    void cleanup()
    {
        m_pane.reset(); // its lookups end with it: none outlives its fixture
        m_shortcuts.reset();
        m_t.reset();
    }

    void save_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("saveSwitch");
        QTest::addColumn<QString>("storeTrouble"); // "", "failAdds", "unavailable"
        QTest::addColumn<QString>("message"); // of the alert; "用户信息已保存" is the success alert's
        QTest::addColumn<QStringList>("storedAfter"); // the items left, as "account=secret"

        const QStringList old{"username=old", "password=old-pw"};
        const QString saved = "用户信息已保存", failed = GeneralSettingsView::saveFailedMessage;
        QTest::newRow("empty password leaves the store alone")
            << "" << true << "" << GeneralSettingsView::emptyFieldsMessage << old;
        QTest::newRow("saves the account")
            << "new-pw" << true << "" << saved << QStringList{"username=demo", "password=new-pw"};
        QTest::newRow("switch off forgets the stored account")
            << "new-pw" << false << "" << saved << QStringList();
        QTest::newRow("failing store") << "new-pw" << true << "failAdds" << failed << QStringList{"username=demo"};
        QTest::newRow("switch off with the store out of reach is no success")
            << "new-pw" << false << "unavailable" << failed << old;
    }

    void save()
    {
        QFETCH(QString, password);
        QFETCH(bool, saveSwitch);
        QFETCH(QString, storeTrouble);
        QFETCH(QString, message);
        QFETCH(QStringList, storedAfter);

        m_t->storeAccount("old", "old-pw");
        auto *pane = showPane<GeneralSettingsView>();
        QTRY_COMPARE(find<QLineEdit>("usernameField")->text(), QStringLiteral("old"));
        find<QLineEdit>("usernameField")->setText("demo");
        find<QLineEdit>("passwordField")->setText(password);
        if (!saveSwitch)
            click(pane, "saveCredentialsSwitch");
        if (storeTrouble == "failAdds")
            m_t->secretStore.failAddsOf(KeychainHelper::passwordAccount);
        if (storeTrouble == "unavailable")
            m_t->secretStore.setStatus(SecretStore::Status::Unavailable);

        click(pane, "saveButton");
        const char *alert = message == "用户信息已保存" ? "saveSuccessAlert" : "saveFailureAlert";
        QTRY_VERIFY(find<QMessageBox>(alert));
        QCOMPARE(pane->findChildren<QMessageBox *>().size(), 1);
        QCOMPARE(find<QMessageBox>(alert)->informativeText(), message);
        QStringList stored;
        for (const auto &item : m_t->secretStore.items())
            stored.append(item.account + '=' + QString::fromUtf8(item.data));
        QCOMPARE(stored, storedAfter);
    }

    // A sign-in by hand reads the stored account. A keyring it cannot unlock is said in the status
    // line, not taken for a missing account, and the fields stay as they were.
    void connectButton_data()
    {
        QTest::addColumn<QString>("keyring"); // "empty", "account", "locked" (over an account)
        QTest::addColumn<QString>("message");
        QTest::newRow("no account") << "empty" << GeneralSettingsView::noAccountMessage;
        QTest::newRow("stored account signs in") << "account" << HTTPAuthService::successStatus;
        QTest::newRow("locked keyring") << "locked" << GeneralSettingsView::keyringLockedMessage;
    }

    void connectButton()
    {
        QFETCH(QString, keyring);
        QFETCH(QString, message);
        if (keyring != "empty")
            m_t->storeAccount(m_t->acceptedUsername, m_t->acceptedPassword);
        if (keyring == "locked")
            m_t->secretStore.setStatus(SecretStore::Status::Locked);
        click(showPane<GeneralSettingsView>(), "connectButton");
        QTRY_COMPARE(find<QLabel>("statusMessage")->text(), message);
        QTRY_VERIFY(!m_t->authService->isAuthenticating());
        QVERIFY(find<QLabel>("statusIcon")->isVisible());
        QCOMPARE(find<QLabel>("statusIcon")->property("failed").toBool(), keyring != "account");
        QCOMPARE(find<QLineEdit>("usernameField")->text(), keyring == "account" ? m_t->acceptedUsername : "");
        QCOMPARE(int(historyAnswer(*m_t->statistics, &StatisticsManager::loadLoginRecords).size()),
                 m_t->loginPosts.load());
        QCOMPARE(m_t->loginPosts.load(), int(keyring == "account"));
    }

    void resetForgetsAccountAndFirstRunAndQuits()
    {
        m_t->storeAccount("demo", "pw");
        Preferences &prefs = m_t->preferences;
        prefs.setBool(PreferenceKeys::hasShownWelcome, true);
        prefs.setBool(PreferenceKeys::autoLoginEnabled, true);
        auto *pane = showPane<GeneralSettingsView>();
        click(pane, "resetButton");
        QCOMPARE(m_t->secretStore.items().size(), 2); // nothing happens before the confirmation
        // Return or Space on the alert cancels.
        QCOMPARE(find<QMessageBox>("resetAlert")->defaultButton()->text(), QStringLiteral("取消"));
        click(find("resetAlert"), "confirmResetButton");
        QVERIFY(m_t->secretStore.items().isEmpty());
        QCOMPARE(m_quits, 0); // the quit waits its half second
        QTRY_COMPARE(m_quits, 1);
        // What the next start reads from the file: first run again, other settings kept.
        QFile file(prefs.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY(!written.contains("hasShownWelcome"));
        QVERIFY(written.contains("autoLoginEnabled=true"));
    }

    void refreshLine_data()
    {
        QTest::addColumn<QByteArray>("ssid"); // empty: no Wi-Fi interface answers
        QTest::addColumn<bool>("skipWiFiCheck");
        QTest::addColumn<int>("probeStatus");
        QTest::addColumn<QString>("lineEnd");
        QTest::newRow("campus, online") << QByteArray("larkmead_student") << false << 204
                                        << "WiFi: larkmead_student（校园网）, 网络: 已连接";
        QTest::newRow("other network, offline")
            << QByteArray("CoffeeShop") << false << 503 << "WiFi: CoffeeShop（非校园网）, 网络: 未连接";
        QTest::newRow("unreadable SSID")
            << QByteArray() << false << 503 << "WiFi: 未获取（非校园网）, 网络: 未连接";
        QTest::newRow("unreadable SSID, campus test skipped")
            << QByteArray() << true << 204 << "WiFi: 未获取（校园网）, 网络: 已连接";
    }

    void refreshLine()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(bool, skipWiFiCheck);
        QFETCH(int, probeStatus);
        QFETCH(QString, lineEnd);
        if (!ssid.isEmpty())
            m_t->wifi.interfaceList = {FakeWifiClient::station("wlan0", ssid)};
        m_t->preferences.setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, skipWiFiCheck);
        m_t->probeStatus = probeStatus;
        auto *pane = showPane<AutoLoginSettingsView>(); // appearing refreshes
        QVERIFY(pane->isRefreshing());
        QTRY_VERIFY(!pane->isRefreshing());
        QCOMPARE(pane->refreshLogs().size(), 2);
        QVERIFY2(pane->refreshLogs().first().endsWith("] 刷新完成 - " + lineEnd),
                 qPrintable(pane->refreshLogs()[0]));
        QVERIFY(lineEnd.contains(find<QLabel>("currentWiFi")->text() + "（"));
        QVERIFY(lineEnd.endsWith(find<QLabel>("networkState")->text()));
    }

    void lateResultAfterPaneClosed()
    {
        m_t->probeDelayMs = 300;
        m_t->wifi.interfaceList = {FakeWifiClient::station("wlan0", "larkmead_staff")};
        auto *pane = showPane<AutoLoginSettingsView>();
        // The SSID is in: the probe is on its way.
        QTRY_COMPARE(find<QLabel>("currentWiFi")->text(), QStringLiteral("larkmead_staff"));
        QVERIFY(pane->isRefreshing());
        m_pane.reset();
        QTRY_COMPARE(m_t->probesAnswered.load(), 1);
        QCoreApplication::sendPostedEvents(); // the probe's answer, had anything kept listening
        QCoreApplication::processEvents();
    }

    // The sidebar by mouse and by keyboard, the About request from the tray, and quitting.
    void sidebarAndAboutNotification()
    {
        auto *window = showPane<SettingsWindowView>();
        click(window, "sidebarRow3");
        QCOMPARE(window->selectedSection(), SettingsSection::statistics);
        QTest::keyClick(find("sidebarRow3"), Qt::Key_Up);
        QCOMPARE(window->selectedSection(), SettingsSection::autoLogin);
        m_t->notifications.post(Notifications::SwitchToAboutSection);
        QCOMPARE(window->selectedSection(), SettingsSection::about);
        click(window, "quitRow");
        QCOMPARE(m_quits, 1);
        m_pane.reset();
        QCOMPARE(m_t->notifications.observerCount(Notifications::SwitchToAboutSection), 0);
    }

    // A window that is open when the desktop switches from light to dark takes the dark colours, not the
    // light ones it was opened with.
    void followsDesktopPalette()
    {
        const auto restore =
            qScopeGuard([desktop = QApplication::palette()] { QApplication::setPalette(desktop); });
        QApplication::setPalette(Theme::lightPalette());
        auto *window = showPane<SettingsWindowView>();
        window->pane(SettingsSection::autoLogin); // built before the switch, as if it had been selected
        QApplication::setPalette(Theme::darkPalette()); // reaches the window through the event loop
        const QPalette dark = Theme::darkPalette();
        QTRY_COMPARE(window->palette().color(QPalette::Window), dark.color(QPalette::Window));
        for (QLabel *label : window->findChildren<QLabel *>()) {
            if (label->text() == "使用已保存的账号密码进行登录" || label->text() == "未连接")
                QCOMPARE(label->palette().color(QPalette::WindowText).lightness() > 128, true);
        }
        QCOMPARE(find("sidebar")->palette().color(QPalette::Window), Theme::controlBackground(dark));
    }
    // The statistics pane over a scratch history: the figures, the chart and the recent list it shows.
    void figures_data()
    {
        QTest::addColumn<QJsonArray>("records"); // oldest appended first
        QTest::addColumn<StatisticsPeriod>("period");
        QTest::addColumn<QString>("month");       // the month row; the total is the records' count
        QTest::addColumn<QStringList>("barDays"); // "MM/dd", top to bottom; empty: no trend shown
        QTest::addColumn<bool>("fullBar");        // some shown bar spans the whole width
        QTest::addColumn<QStringList>("recentTimes");

        using enum StatisticsPeriod;
        QTest::newRow("no records") << QJsonArray() << month << "0 次" << QStringList() << false
                                    << QStringList();
        QJsonArray twentyFive;
        QStringList lastTen;
        for (int i = 25; i > 0; --i) {
            twentyFive.append(record(0, i * 60));
            if (i <= 10)
                lastTen.prepend(twentyFive.last().toObject().value("time").toString());
        }
        QTest::newRow("25 records: the last ten appended, newest first")
            << twentyFive << today << "25 次" << QStringList{"03/20"} << true << lastTen;
        QJsonArray fourteenDays;
        for (int day = 13; day >= 0; --day) {
            for (int n = 0; n < (day == 12 ? 5 : 1 + day % 2); ++n)
                fourteenDays.append(record(day, n));
        }
        QTest::newRow("14 days: ten shown, scaled by an older busier day")
            << fourteenDays << all << QString::number(fourteenDays.size()) + " 次"
            << QStringList{"03/20", "03/19", "03/18", "03/17", "03/16",
                           "03/15", "03/14", "03/13", "03/12", "03/11"}
            << false << QStringList{};
        QTest::newRow("older than 30 days: in the total only")
            << QJsonArray{record(40)} << month << "0 次" << QStringList() << false
            << QStringList{record(40).value("time").toString()};
        QTest::newRow("record without date and time")
            << QJsonArray{QJsonObject{{"username", "demo"}, {"timestamp", now.toSecsSinceEpoch()}}} << week
            << "1 次" << QStringList{"03/20"} << true << QStringList{""};
    }

    void figures()
    {
        QFETCH(QJsonArray, records);
        QFETCH(StatisticsPeriod, period);
        QFETCH(QString, month);
        QFETCH(QStringList, barDays);
        QFETCH(bool, fullBar);
        QFETCH(QStringList, recentTimes);

        auto *view = statisticsPane();
        store(records);
        view->setSelectedPeriod(period);
        QSignalSpy shown(view, &StatisticsView::statisticsShown);
        view->show();
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shownTotal(), QString::number(records.size()));
        QCOMPARE(find<StatisticsRow>("monthRow")->value(), month);
        QStringList days;
        bool anyFull = false;
        for (const auto &bar : find<DateDistributionChart>("dateChart")->bars()) {
            days.append(DateDistributionChart::formatDateLabel(bar.day));
            anyFull = anyFull || bar.fraction == 1.0;
        }
        QCOMPARE(days, barDays);
        QCOMPARE(anyFull, fullBar);
        QCOMPARE(find("trendSection")->isVisible(),
                 period != StatisticsPeriod::today && period != StatisticsPeriod::week);
        QStringList times;
        for (const HistoryRecord &recent : view->statistics().recentRecords)
            times.append(recent.time);
        if (!recentTimes.isEmpty() || records.isEmpty())
            QCOMPARE(times, recentTimes);
        QCOMPARE(view->findChildren<HistoryRecordRow *>().size(), times.size());
        QCOMPARE(find("recentSection")->isVisible(), !times.isEmpty());
        // A day that does not parse is shown as stored.
        QCOMPARE(DateDistributionChart::formatDateLabel(QStringLiteral("2025-13-40")),
                 QStringLiteral("2025-13-40"));
    }

    void reloadsOnAppearanceAndPeriodChange()
    {
        auto *view = statisticsPane();
        QSignalSpy shown(view, &StatisticsView::statisticsShown);
        view->show();
        QTRY_COMPARE(shown.size(), 1);
        m_t->statistics->saveLoginRecord("demo", now.toSecsSinceEpoch());
        QTRY_VERIFY(!m_t->statistics->isBusy());
        QCOMPARE(shownTotal(), QStringLiteral("0")); // the pane does not watch the store
        view->setSelectedPeriod(StatisticsPeriod::all);
        QTRY_COMPARE(shownTotal(), QStringLiteral("1"));
        QCOMPARE(find<DateDistributionChart>("dateChart")->bars().size(), 1);
        m_t->statistics->saveLoginRecord("demo", now.toSecsSinceEpoch());
        view->hide();
        view->show();
        QTRY_COMPARE(shownTotal(), QStringLiteral("2"));
        QCOMPARE(view->findChildren<HistoryRecordRow *>().size(), 2);
    }

    // Another program's write transaction on the history holds up neither the record of a sign-in nor
    // the pane: the event loop keeps turning, and both are done once the transaction ends.
    void historyLockedByAnotherProgram()
    {
        auto *view = statisticsPane();
        QSignalSpy shown(view, &StatisticsView::statisticsShown);
        view->show();
        QTRY_COMPARE(shown.size(), 1);
        LoginHistoryDatabase other(m_t->directory.filePath("history"), "com.netlatch.loginRecords");
        QString error, keptAside;
        QVERIFY(other.open(&error, &keptAside));
        bool turned = false;
        QVERIFY(other.write(
            [&](QString *) {
                m_t->statistics->recordLogin("demo");
                view->setSelectedPeriod(StatisticsPeriod::all);
                QTimer::singleShot(0, [&turned] { turned = true; });
                return QTest::qWaitFor([&turned] { return turned; }) && m_t->statistics->isBusy();
            },
            &error));
        QTRY_COMPARE(shownTotal(), QStringLiteral("1"));
    }
    // The shortcuts pane. The capture reads a key's position, whatever it types or the layout calls it
    // (the X11 test records Ctrl+Shift+L and Ctrl+Shift+1 from real key presses), and shows it as the
    // desktop writes it.
    void records_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<QString>("shown");
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
        QTest::mouseClick(find<ShortcutRecorderView>(showWindow), Qt::LeftButton);
        m_field->setFocus();
        typeKey(Qt::Key_Control, Qt::ControlModifier, 37); // a bare modifier is no key
        QVERIFY(m_shortcuts->isRecording());
        typeKey(key, modifiers, scanCode, u"x"_s);
        QTRY_COMPARE(find<ShortcutRecorderView>(showWindow)->text(), shown);
        QCOMPARE(m_field->text(), QString()); // the recorded press reached no widget
        QCOMPARE(m_t->preferences.dataValue(PreferenceKeys::showWindowShortcut), KeyComboCodable::encode(combo));
        QCOMPARE(m_t->hotKeys.liveRegistrations().size(), 1);
        QCOMPARE(m_t->hotKeys.liveRegistrations().first().keyCode, combo.keyCode);

        typeKey(Qt::Key_B, {}, 56, u"b"_s); // the next press is the application's again
        QCOMPARE(m_field->text(), u"b"_s);
    }

    // A second click, hiding the pane or closing it disarms without a change; the keys are the
    // application's again and the stored shortcut is registered again.
    void disarmingKeepsTheShortcut()
    {
        m_t->preferences.setData(PreferenceKeys::showWindowShortcut, KeyComboCodable::encode({49, ctrl}));
        open();
        QTest::mouseClick(find<ShortcutRecorderView>(showWindow), Qt::LeftButton);
        QVERIFY(m_t->hotKeys.live.empty());
        QTest::mouseClick(find<ShortcutRecorderView>(showWindow), Qt::LeftButton);
        QCOMPARE(find<ShortcutRecorderView>(showWindow)->text(), u"Meta+Space"_s);
        QCOMPARE(m_t->hotKeys.liveRegistrations().size(), 1);
        m_field->setFocus();
        typeKey(Qt::Key_A, {}, 38, u"a"_s);
        QCOMPARE(m_field->text(), u"a"_s);

        QTest::mouseClick(find<ShortcutRecorderView>(quickLogin), Qt::LeftButton);
        m_pane->hide();
        QVERIFY(!m_shortcuts->isRecording());
        QCOMPARE(find<ShortcutRecorderView>(quickLogin)->text(), unset);
        m_pane->show();
        QTest::mouseClick(find<ShortcutRecorderView>(showWindow), Qt::LeftButton);
        m_pane.reset();
        QVERIFY(!m_shortcuts->isRecording());
        QCOMPARE(m_shortcuts->showWindowShortcut(), (KeyCombo{49, ctrl}));
    }

    void oneCaptureForBothBoxes()
    {
        open();
        QTest::mouseClick(find<ShortcutRecorderView>(quickLogin), Qt::LeftButton);
        QTest::mouseClick(find<ShortcutRecorderView>(showWindow), Qt::LeftButton);
        QCOMPARE(find<ShortcutRecorderView>(quickLogin)->text(), unset); // it no longer waits for a key
        QCOMPARE(find<ShortcutRecorderView>(showWindow)->text(), recording);
        m_field->setFocus();
        typeKey(Qt::Key_K, Qt::ControlModifier, 45);
        QTRY_COMPARE(find<ShortcutRecorderView>(showWindow)->text(), u"Ctrl+K"_s);
        QCOMPARE(m_shortcuts->quickLoginShortcut(), std::nullopt);
        QCOMPARE(m_shortcuts->showWindowShortcut(), (KeyCombo{40, cmd}));
    }

    void refusedAndUnavailable()
    {
        const auto note = [this](const QString &name) { return find<QLabel>(name); };
        m_t->preferences.setData(PreferenceKeys::quickLoginShortcut,
                               KeyComboCodable::encode({37, cmd | shift}));
        m_t->hotKeys.refused.append({37, 0x300});
        open();
        QVERIFY(note(u"quickLoginRefusedNote"_s)->isVisible() &&
                !note(u"showWindowRefusedNote"_s)->isVisible());
        QTest::mouseClick(find<ShortcutRecorderView>(quickLogin), Qt::LeftButton); // off on purpose while armed: no refusal
        QVERIFY(!note(u"quickLoginRefusedNote"_s)->isVisible());
        m_pane.reset();
        m_shortcuts.reset();

        m_t->hotKeys.available = false; // a Wayland session
        open();
        QVERIFY(note(u"waylandNote"_s)->isVisible() && !note(u"quickLoginRefusedNote"_s)->isVisible());
        QVERIFY(!find<ShortcutRecorderView>(quickLogin)->isEnabled() && !find<ShortcutRecorderView>(showWindow)->isEnabled());
        QCOMPARE(find<ShortcutRecorderView>(quickLogin)->text(), u"Ctrl+Shift+L"_s); // stored data still shows
        // What works instead: a command to bind in the desktop's keyboard settings, copied by a click.
        QTest::mouseClick(find<QPushButton>(u"copyCommand0"_s), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"gapplication action app.netlatch.Netlatch quick-login"_s);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
