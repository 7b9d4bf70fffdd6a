// The settings window and its general and auto-login panes on the offscreen platform, over a scratch
// preference file, a fake secret store, a fake Wi-Fi client and a local portal on 127.0.0.1.
#include "PrivateDBus.h"
#include "TestAppContext.h"

#include "platform/linux/LinuxWifiClient.h"

#include "gui/settings/AutoLoginSettingsView.h"
#include "gui/settings/GeneralSettingsView.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/widgets/Theme.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QtTest>

class TestSettingsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system;
    bool m_networkManager = false;
    std::unique_ptr<TestAppContext> m_t;
    std::unique_ptr<QWidget> m_pane;
    int m_quits = 0;

    template <typename Pane> Pane *showPane()
    {
        auto *pane = new Pane(m_t->context());
        m_pane.reset(pane);
        pane->resize(SettingsWindowView::defaultSize);
        pane->show();
        if (!QTest::qWaitForWindowExposed(pane))
            qWarning("the pane was not exposed");
        return pane;
    }

    static void click(QWidget *parent, const char *objectName)
    {
        auto *button = parent->findChild<QAbstractButton *>(QLatin1String(objectName));
        QVERIFY2(button, objectName);
        QTest::mouseClick(button, Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Before anything touches the system bus: the Wi-Fi lookup of one test asks NetworkManager there.
        m_system = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        m_networkManager =
            m_system->startMock({QStringLiteral("--template"), QStringLiteral("networkmanager")},
                                QStringLiteral("org.freedesktop.NetworkManager"));
    }

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
        QTest::addColumn<QString>("alert");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("storedAfter"); // account names of the items left

        const QStringList old{QStringLiteral("username"), QStringLiteral("password")};
        const QString success = QStringLiteral("saveSuccessAlert"),
                      failure = QStringLiteral("saveFailureAlert");
        const QString saved = QStringLiteral("用户信息已保存"),
                      failed = GeneralSettingsView::saveFailedMessage;
        QTest::newRow("empty password leaves the store alone")
            << "" << true << "" << failure << GeneralSettingsView::emptyFieldsMessage << old;
        QTest::newRow("saves the account") << "new-pw" << true << "" << success << saved << old;
        QTest::newRow("switch off forgets the stored account")
            << "new-pw" << false << "" << success << saved << QStringList();
        QTest::newRow("failing store")
            << "new-pw" << true << "failAdds" << failure << failed << QStringList{"username"};
        QTest::newRow("switch off with the store out of reach is no success")
            << "new-pw" << false << "unavailable" << failure << failed << old;
    }

    void save()
    {
        QFETCH(QString, password);
        QFETCH(bool, saveSwitch);
        QFETCH(QString, storeTrouble);
        QFETCH(QString, alert);
        QFETCH(QString, message);
        QFETCH(QStringList, storedAfter);

        m_t->storeAccount(QStringLiteral("old"), QStringLiteral("old-pw"));
        auto *pane = showPane<GeneralSettingsView>();
        QTRY_COMPARE(pane->findChild<QLineEdit *>("usernameField")->text(), QStringLiteral("old"));
        QCOMPARE(pane->findChild<QLineEdit *>("passwordField")->text(), QStringLiteral("old-pw"));
        pane->findChild<QLineEdit *>("usernameField")->setText(QStringLiteral("demo"));
        pane->findChild<QLineEdit *>("passwordField")->setText(password);
        if (!saveSwitch)
            click(pane, "saveCredentialsSwitch");
        if (storeTrouble == QLatin1String("failAdds"))
            m_t->secretStore.failAddsOf(KeychainHelper::passwordAccount);
        if (storeTrouble == QLatin1String("unavailable"))
            m_t->secretStore.setStatus(SecretStore::Status::Unavailable);
        const auto before = m_t->secretStore.items();

        click(pane, "saveButton");
        QTRY_VERIFY(pane->findChild<QMessageBox *>(alert));
        auto *box = pane->findChild<QMessageBox *>(alert);
        QCOMPARE(pane->findChildren<QMessageBox *>().size(), 1);
        QCOMPARE(box->informativeText(), message);
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("确定"));

        QStringList accounts;
        for (const auto &item : m_t->secretStore.items())
            accounts.append(item.account);
        QCOMPARE(accounts, storedAfter);
        if (password.isEmpty())
            QCOMPARE(m_t->secretStore.items(), before);
        if (alert == QLatin1String("saveSuccessAlert") && saveSwitch) {
            QCOMPARE(m_t->secretStore.items(),
                     (QList<FakeSecretStore::Item>{{KeychainHelper::service, KeychainHelper::usernameAccount, "demo"},
                                                   {KeychainHelper::service, KeychainHelper::passwordAccount,
                                                    password.toUtf8()}}));
        }
    }

    void connectButton_data()
    {
        QTest::addColumn<bool>("withAccount");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<int>("posts");

        QTest::newRow("no account") << false << GeneralSettingsView::noAccountMessage << true << 0;
        QTest::newRow("stored account signs in") << true << HTTPAuthService::successStatus << false << 1;
    }

    void connectButton()
    {
        QFETCH(bool, withAccount);
        QFETCH(QString, message);
        QFETCH(bool, failed);
        QFETCH(int, posts);

        if (withAccount)
            m_t->storeAccount(m_t->acceptedUsername, m_t->acceptedPassword);
        auto *pane = showPane<GeneralSettingsView>();
        QVERIFY(!pane->findChild<QWidget *>("statusLine")->isVisible());
        click(pane, "connectButton");
        auto *line = pane->findChild<QLabel *>("statusMessage");
        QTRY_COMPARE(line->text(), message);
        QTRY_VERIFY(!m_t->authService->isAuthenticating());
        QVERIFY(pane->findChild<QWidget *>("statusLine")->isVisible());
        QVERIFY(pane->findChild<QLabel *>("statusIcon")->isVisible());
        QCOMPARE(pane->findChild<QLabel *>("statusIcon")->property("failed").toBool(), failed);
        QCOMPARE(m_t->loginPosts.load(), posts);
        QCOMPARE(int(m_t->statistics->loadLoginRecords().size()), posts);
    }

    void resetForgetsAccountAndFirstRunAndQuits()
    {
        m_t->storeAccount(QStringLiteral("demo"), QStringLiteral("pw"));
        Preferences &prefs = m_t->preferences;
        prefs.setBool(PreferenceKeys::hasShownWelcome, true);
        prefs.setBool(PreferenceKeys::hasSetupCredentials, true);
        prefs.setText(PreferenceKeys::lastShownVersion, QStringLiteral("2.0"));
        prefs.setBool(PreferenceKeys::autoLoginEnabled, true);
        auto *pane = showPane<GeneralSettingsView>();

        click(pane, "resetButton");
        auto *confirm = pane->findChild<QMessageBox *>("resetAlert");
        QVERIFY(confirm);
        QCOMPARE(m_t->secretStore.items().size(), 2); // nothing happens before the confirmation
        click(confirm, "confirmResetButton");

        QVERIFY(m_t->secretStore.items().isEmpty());
        QCOMPARE(m_quits, 0); // the quit waits its half second
        QTRY_COMPARE(m_quits, 1);
        // What the next start reads from the file (the store is never torn down): first run again, other
        // settings kept.
        QFile file(prefs.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY(!written.contains("hasShownWelcome"));
        QVERIFY(!written.contains("hasSetupCredentials"));
        QVERIFY(!written.contains("lastShownVersion"));
        QVERIFY(written.contains("autoLoginEnabled=true"));
    }

    void dockAndEngineOwner()
    {
        QList<bool> hidden;
        m_t->context().setDockIconHidden = [&hidden](bool value) { hidden.append(value); };
        m_t->context().engineOwnerPid = 4242;
        auto *general = showPane<GeneralSettingsView>();
        click(general, "hideDockIconSwitch");
        click(general, "hideDockIconSwitch");
        QCOMPARE(hidden, (QList<bool>{true, false}));
        QVERIFY(!general->findChild<QWidget *>("dockUnsupportedNote"));

        // Where the desktop cannot hide the entry, the switch says so and stays put.
        m_t->context().dockIconSupported = false;
        general = showPane<GeneralSettingsView>();
        QVERIFY(!general->findChild<QWidget *>("hideDockIconSwitch")->isEnabled());
        QVERIFY(general->findChild<QWidget *>("dockUnsupportedNote")->isVisible());

        // Without an engine of its own the pane names the daemon's PID and only writes the switch.
        auto *autoLogin = showPane<AutoLoginSettingsView>();
        QCOMPARE(autoLogin->findChild<QLabel *>("engineOwner")->text(),
                 QStringLiteral("后台进程（PID 4242）"));
        click(autoLogin, "autoLoginSwitch");
        QVERIFY(m_t->preferences.boolValue(PreferenceKeys::autoLoginEnabled));
        QVERIFY(m_t->preferences.autoReconnect());
        click(autoLogin, "autoReconnectSwitch");
        QVERIFY(!m_t->preferences.autoReconnect());
    }

    void refreshLine_data()
    {
        QTest::addColumn<QByteArray>("ssid"); // empty: no Wi-Fi interface answers
        QTest::addColumn<bool>("skipWiFiCheck");
        QTest::addColumn<int>("probeStatus");
        QTest::addColumn<QString>("wifiLabel");
        QTest::addColumn<QString>("lineEnd");

        QTest::newRow("campus, online")
            << QByteArray("larkmead_student") << false << 204 << "larkmead_student"
            << "刷新完成 - WiFi: larkmead_student（校园网）, 网络: 已连接";
        QTest::newRow("other network, offline") << QByteArray("CoffeeShop") << false << 503 << "CoffeeShop"
                                                << "刷新完成 - WiFi: CoffeeShop（非校园网）, 网络: 未连接";
        QTest::newRow("unreadable SSID") << QByteArray() << false << 503 << "未获取"
                                         << "刷新完成 - WiFi: 未获取（非校园网）, 网络: 未连接";
        QTest::newRow("unreadable SSID, campus test skipped")
            << QByteArray() << true << 204 << "未获取"
            << "刷新完成 - WiFi: 未获取（校园网）, 网络: 已连接";
    }

    void refreshLine()
    {
        QFETCH(QByteArray, ssid);
        QFETCH(bool, skipWiFiCheck);
        QFETCH(int, probeStatus);
        QFETCH(QString, wifiLabel);
        QFETCH(QString, lineEnd);

        if (!ssid.isEmpty())
            m_t->wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), ssid)};
        m_t->preferences.setBool(PreferenceKeys::skipWiFiCheckForAutoLogin, skipWiFiCheck);
        m_t->probeStatus = probeStatus;
        auto *pane = showPane<AutoLoginSettingsView>(); // appearing refreshes
        QVERIFY(pane->isRefreshing());
        QTRY_VERIFY(!pane->isRefreshing());
        QCOMPARE(pane->refreshLogs().size(), 2);
        QVERIFY2(pane->refreshLogs().first().endsWith(QStringLiteral("] ") + lineEnd),
                 qPrintable(pane->refreshLogs().first()));
        QVERIFY(pane->refreshLogs().last().endsWith(QStringLiteral("] 开始刷新状态...")));
        QCOMPARE(pane->findChild<QLabel *>("currentWiFi")->text(), wifiLabel);
        QCOMPARE(pane->findChild<QLabel *>("networkState")->text(), probeStatus == 204 ? "已连接" : "未连接");
        QVERIFY(pane->findChild<QLabel *>("lastRefreshTime")->isVisible());
    }

    void logKeepsFiftyNewestLines()
    {
        auto *pane = showPane<AutoLoginSettingsView>();
        QTRY_VERIFY(!pane->isRefreshing());
        for (int i = 1; i < 51; ++i) {
            pane->refresh();
            QTRY_VERIFY(!pane->isRefreshing());
            if (i == 10)
                m_t->probeStatus = 204; // later lines differ from the first ones
        }
        QCOMPARE(pane->refreshLogs().size(), AutoLoginSettingsView::maxLogLines);
        QVERIFY(pane->refreshLogs().first().endsWith(QStringLiteral("网络: 已连接")));
        QVERIFY(pane->refreshLogs().last().endsWith(QStringLiteral("开始刷新状态...")));
        QVERIFY(!pane->refreshLogs().join('\n').contains(QStringLiteral("网络: 未连接")));
        click(pane, "clearLogButton");
        QVERIFY(pane->refreshLogs().isEmpty());
    }

    void timerLivesWhileShown()
    {
        auto *pane = showPane<AutoLoginSettingsView>();
        QVERIFY(pane->refreshTimer().isActive());
        QCOMPARE(pane->refreshTimer().interval(), 60'000);
        pane->hide();
        QVERIFY(!pane->refreshTimer().isActive());
        pane->show();
        QVERIFY(pane->refreshTimer().isActive());
    }

    void lateResultAfterPaneClosed()
    {
        m_t->probeDelayMs = 300;
        m_t->wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), "larkmead_staff")};
        auto *pane = showPane<AutoLoginSettingsView>();
        // The SSID is in: the probe is on its way.
        QTRY_COMPARE(pane->findChild<QLabel *>("currentWiFi")->text(), QStringLiteral("larkmead_staff"));
        QVERIFY(pane->isRefreshing());
        m_pane.reset();
        QTRY_COMPARE(m_t->probesAnswered.load(), 1);
        QCoreApplication::sendPostedEvents(); // the probe's answer, had anything kept listening
        QCoreApplication::processEvents();
    }

    // The lookup as users have it: NetworkManager over the system bus, asked from a pool thread.
    void refreshOverNetworkManager()
    {
        if (!m_networkManager)
            QSKIP("python3-dbusmock's NetworkManager could not be started on a private system bus");
        const QString service = QStringLiteral("org.freedesktop.NetworkManager");
        const QString root = QStringLiteral("/org/freedesktop");
        const QString device = root + QStringLiteral("/NetworkManager/Devices/wlan0");
        const auto nm = [&](const QString &method, const QVariantList &arguments, const QString &path) {
            return m_system->call(service, path, method, arguments);
        };
        QVERIFY(nm(QStringLiteral("AddWiFiDevice"), {"wlan0", "wlan0", 100}, root));
        QVERIFY(nm(QStringLiteral("AddAccessPoint"),
                   {device, "ap0", "larkmead_student", "00:11:22:33:44:55", 2u, 2412u, 54000u,
                    QVariant::fromValue<uchar>(80), 0u},
                   root));
        QVERIFY(nm(QStringLiteral("AddProperty"),
                   {QString(service + QStringLiteral(".Device.Wireless")), "ActiveAccessPoint",
                    QVariant::fromValue(QDBusVariant(QVariant::fromValue(
                        QDBusObjectPath(root + QStringLiteral("/NetworkManager/AccessPoint/ap0")))))},
                   device));

        LinuxWifiClient wifi(QDBusConnection::systemBus());
        NetworkProbe probe(wifi, m_t->location, m_t->preferences, m_t->portal.url(), m_t->portal.address());
        // The pane and its lookups end before the probe and the client they use.
        const auto done = qScopeGuard([this] { m_pane.reset(); });
        AppContext &context = m_t->context();
        AppContext overNetworkManager{
            context.preferences,   context.keychain, context.authService, context.statistics, probe,
            context.notifications, context.banners,  context.versions,    context.welcome,       context.launchAtLogin};
        auto *pane = new AutoLoginSettingsView(overNetworkManager);
        m_pane.reset(pane);
        pane->show();
        QTRY_VERIFY(!pane->isRefreshing());
        QVERIFY2(pane->refreshLogs().first().endsWith(
                     QStringLiteral("WiFi: larkmead_student（校园网）, 网络: 未连接")),
                 qPrintable(pane->refreshLogs().first()));
        QVERIFY(nm(QStringLiteral("Reset"), {}, root));
    }

    void sidebarAndAboutNotification()
    {
        auto *window = new SettingsWindowView(m_t->context());
        m_pane.reset(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->selectedSection(), SettingsSection::general);

        click(window, "sidebarRow3");
        QCOMPARE(window->selectedSection(), SettingsSection::statistics);
        QVERIFY(window->pane(SettingsSection::statistics)->isVisible());

        m_t->notifications.post(Notifications::SwitchToAboutSection);
        QCOMPARE(window->selectedSection(), SettingsSection::about);
        QVERIFY(window->pane(SettingsSection::about)->isVisible());
        QVERIFY(!window->pane(SettingsSection::statistics)->isVisible());

        click(window, "quitRow");
        QCOMPARE(m_quits, 1);
        m_pane.reset();
        QCOMPARE(m_t->notifications.observerCount(Notifications::SwitchToAboutSection), 0);
    }

    // A window that is open when the desktop switches from light to dark takes the dark colours, not the
    // light ones it was opened with.
    void followsDesktopPalette()
    {
        const QPalette desktop = QApplication::palette();
        const auto restore = qScopeGuard([&desktop] { QApplication::setPalette(desktop); });
        QApplication::setPalette(Theme::lightPalette());
        auto *window = new SettingsWindowView(m_t->context());
        m_pane.reset(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QApplication::setPalette(Theme::darkPalette()); // reaches the window through the event loop
        const QPalette dark = Theme::darkPalette();
        QTRY_COMPARE(window->palette().color(QPalette::Window), dark.color(QPalette::Window));
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        for (const auto &[text, colour] :
             {std::pair{QStringLiteral("使用已保存的账号密码进行登录"), Theme::secondaryText(dark)},
              std::pair{QStringLiteral("当前WiFi："), Theme::secondaryText(dark)},
              std::pair{QStringLiteral("未连接"), Theme::failure(dark)}}) {
            const auto label =
                std::find_if(labels.begin(), labels.end(), [&](QLabel *l) { return l->text() == text; });
            QVERIFY2(label != labels.end(), qPrintable(text));
            QCOMPARE((*label)->palette().color(QPalette::WindowText), colour);
        }
        QCOMPARE(window->findChild<QWidget *>("sidebar")->palette().color(QPalette::Window),
                 Theme::controlBackground(dark));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
