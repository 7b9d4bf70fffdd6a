// The settings window and its general and auto-login panes on the offscreen platform, over a scratch
// preference file, a fake secret store, a fake Wi-Fi client and a local portal on 127.0.0.1.
#include "HistoryAnswer.h"
#include "TestAppContext.h"

#include "gui/settings/AutoLoginSettingsView.h"
#include "gui/settings/GeneralSettingsView.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/widgets/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QtTest>

class TestSettingsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestAppContext> m_t;
    std::unique_ptr<QWidget> m_pane;
    int m_quits = 0;

    template <typename Pane> Pane *showPane()
    {
        auto *pane = new Pane(m_t->context());
        m_pane.reset(pane);
        pane->resize(SettingsWindowView::defaultSize);
        pane->show();
        return pane;
    }
    template <typename Child = QWidget> Child *find(const char *name) const
    {
        return m_pane->findChild<Child *>(QLatin1String(name));
    }
    static void click(QWidget *parent, const char *name)
    {
        QTest::mouseClick(parent->findChild<QAbstractButton *>(QLatin1String(name)), Qt::LeftButton);
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

    void logKeepsFiftyNewestLines()
    {
        auto *pane = showPane<AutoLoginSettingsView>();
        for (int i = 0; i < 51; ++i) {
            QTRY_VERIFY(!pane->isRefreshing());
            m_t->probeStatus = i < 10 ? 503 : 204; // later lines differ from the first ones
            pane->refresh();
        }
        QTRY_VERIFY(!pane->isRefreshing());
        QCOMPARE(pane->refreshLogs().size(), AutoLoginSettingsView::maxLogLines);
        QVERIFY(!pane->refreshLogs().join('\n').contains("网络: 未连接"));
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
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
