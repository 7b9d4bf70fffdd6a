#include "LogCapture.h"
#include "PrivateDBus.h"
#include "desktop/StatusBarNotifications.h"
#include "platform/linux/FreedesktopBannerCenter.h"
#include "platform/linux/LinuxSystemEvents.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "platform/linux/LinuxWifiClient.h"
#include "store/KeychainHelper.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

namespace {
const QString Logind = u"org.freedesktop.login1"_s;
const QString LogindPath = u"/org/freedesktop/login1"_s;
const QString Manager = u"org.freedesktop.login1.Manager"_s;
const QString FreedesktopSaver = u"org.freedesktop.ScreenSaver"_s;
const QString GnomeSaver = u"org.gnome.ScreenSaver"_s;
const QString NetworkManager = u"org.freedesktop.NetworkManager"_s;
const QString Nm = u"/org/freedesktop/NetworkManager"_s;
using Counts = QList<qsizetype>;
} // namespace

/// The Linux adapters that speak D-Bus, against python-dbusmock services on a private system bus
/// (logind, NetworkManager, wpa_supplicant) and a private session bus (two screen savers and a
/// notification server). Each bus stands in for the other as one where a service is absent; the secret
/// store meets no bus at all.
class TestDBusAdapters : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_system;
    std::unique_ptr<PrivateDBus> m_session;
    QProcess *m_notifications = nullptr;
    int m_signalsSeen = 0;
    QString m_watched; // the logind session whose LockedHint the steps change

    static QString pathOf(QString service) { return u'/' + service.replace(u'.', u'/'); }
    static QVariant variant(const QVariant &value) { return QVariant::fromValue(QDBusVariant(value)); }
    static QVariant objectPath(const QString &path) { return QVariant::fromValue(QDBusObjectPath(path)); }

    /// One step of a scenario: "stop", or a signal's short name and the boolean it carries.
    bool perform(const QString &step, LinuxSystemEvents &events)
    {
        const QVariantList on{step.endsWith(u'1')};
        const QString saver = step.startsWith(u"gnome") ? GnomeSaver : FreedesktopSaver;
        if (step.startsWith(u"sleep"))
            return m_system->call(Logind, LogindPath, u"EmitSignal"_s,
                                  {Manager, u"PrepareForSleep"_s, u"b"_s, on});
        if (step.startsWith(u"locked"))
            return m_system->call(Logind, m_watched, u"SetLockedHint"_s, on, Logind + u".Session");
        if (step != u"stop")
            return m_session->call(saver, pathOf(saver), u"EmitSignal"_s,
                                   {saver, u"ActiveChanged"_s, u"b"_s, on});
        events.stop();
        return true;
    }

    bool nm(const QString &method, const QVariantList &arguments, const QString &path = u"/org/freedesktop"_s)
    {
        return m_system->call(NetworkManager, path, method, arguments);
    }

    // Interfaces as lines of name, power, mode and SSID, for comparing lists.
    static QStringList describe(const QList<WifiClient::Interface> &interfaces)
    {
        QStringList lines;
        for (const WifiClient::Interface &interface : interfaces)
            lines << u"%1 %2 %3 %4"_s
                         .arg(interface.name.value_or(u"?"_s), interface.powerOn ? u"on"_s : u"off"_s)
                         .arg(int(interface.mode))
                         .arg(interface.ssid ? QString::fromUtf8(*interface.ssid) : u"-"_s);
        return lines;
    }

public Q_SLOTS:
    // Counts the D-Bus signals the test process receives. QtDBus hands a signal to all its receivers
    // at once, so once this has seen a signal (and posted events are flushed) the adapter has seen it
    // too: that is how a test proves that a signal produced no event.
    void signalSeen() { ++m_signalsSeen; }

private Q_SLOTS:
    void initTestCase()
    {
        m_system = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        m_session = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        QVERIFY(m_system->startMock({u"--template"_s, u"logind"_s}, Logind));
        QVERIFY(m_system->startMock({u"--template"_s, u"networkmanager"_s}, NetworkManager));
        QVERIFY(m_system->startMock({u"--template"_s, qEnvironmentVariable("NETLATCH_SOURCE_DIR") +
                                                          u"/tests/support/dbusmock/wpa_supplicant.py"},
                                    u"fi.w1.wpa_supplicant1"_s));
        QVERIFY(m_session->startMock({FreedesktopSaver, pathOf(FreedesktopSaver), FreedesktopSaver},
                                     FreedesktopSaver));
        QVERIFY(m_session->startMock({u"--template"_s, u"gnome_screensaver"_s}, GnomeSaver));
        m_notifications = m_session->startMock({u"--template"_s, u"notification_daemon"_s},
                                               u"org.freedesktop.Notifications"_s);
        QVERIFY(m_notifications);

        // c7 is the test's own session, c8 the user's display session: the one a process outside any
        // session (a systemd user service) follows. The template's GetUser fails; this one works, and
        // gives the user c8 as the display session.
        for (const QString &id : {u"c7"_s, u"c8"_s})
            QVERIFY(m_system->call(Logind, LogindPath, u"AddSession"_s,
                                   {id, u"seat0"_s, quint32(getuid()), u"tester"_s, true}));
        QVERIFY(m_system->call(Logind, LogindPath, u"AddMethod"_s,
                               {Manager, u"GetUser"_s, u"u"_s, u"o"_s,
                                u"ret = '/org/freedesktop/login1/user/%d' % args[0]\n"
                                u"objects[ret].Set('org.freedesktop.login1.User', 'Display', "
                                u"('c8', dbus.ObjectPath('/org/freedesktop/login1/session/c8')))"_s}));
        for (const QString &name : {u"PrepareForSleep"_s, u"PropertiesChanged"_s})
            QDBusConnection::systemBus().connect(Logind, {}, {}, name, this, SLOT(signalSeen()));
        QDBusConnection::sessionBus().connect({}, {}, {}, u"ActiveChanged"_s, this, SLOT(signalSeen()));
    }

    // Each row runs on a fresh adapter, started, stopped and started twice: a restart must never
    // double an event. "outside" runs it outside any session. Desktops may announce one unlock
    // through both screen savers, or twice on one; only a change from active is a wake. Each row's
    // count also shows that the steps turning something on (sleep1, saver1, locked1) are no event.
    void systemEvents_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<Counts>("events"); // system wakes, screens wakes, session activations
        QTest::newRow("sleep ends") << u"sleep1 sleep0"_s << Counts{1, 0, 0};
        QTest::newRow("one unlock on both savers") << u"saver1 gnome1 saver0 gnome0"_s << Counts{0, 1, 0};
        QTest::newRow("savers go away twice") << u"gnome1 gnome0 gnome0 saver1 saver0"_s << Counts{0, 2, 0};
        QTest::newRow("session unlocks") << u"locked1 locked0 locked0 locked1 locked0"_s << Counts{0, 0, 2};
        QTest::newRow("display session unlocks") << u"outside locked1 locked0"_s << Counts{0, 0, 1};
        QTest::newRow("stopped") << u"stop sleep0 saver1 saver0 locked1 locked0"_s << Counts{0, 0, 0};
    }

    void systemEvents()
    {
        QFETCH(QString, steps);
        QFETCH(Counts, events);
        const bool outside = steps.startsWith(u"outside");
        qputenv("XDG_SESSION_ID", outside ? "" : "c7");
        LinuxSystemEvents adapter(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
        QSignalSpy systemWakes(&adapter, &SystemEvents::systemDidWake);
        QSignalSpy screensWakes(&adapter, &SystemEvents::screensDidWake);
        QSignalSpy sessionActivations(&adapter, &SystemEvents::sessionDidBecomeActive);
        for (const bool start : {true, false, true, true})
            start ? adapter.start() : adapter.stop();
        m_watched = u"/org/freedesktop/login1/session/"_s + (outside ? u"c8" : u"c7");
        QTRY_COMPARE(adapter.sessionPath(), m_watched);

        m_signalsSeen = 0;
        for (const QString &step : steps.split(u' '))
            QVERIFY2(step == u"outside" || perform(step, adapter), qPrintable(step));
        QTRY_COMPARE(m_signalsSeen, steps.count(u'0') + steps.count(u'1'));
        QCoreApplication::sendPostedEvents();
        QCOMPARE((Counts{systemWakes.count(), screensWakes.count(), sessionActivations.count()}), events);
    }

    // NetworkManager keeps the mode of the last association: only an active access point means
    // joined, and with the radio off a device is powered off whatever it last reported. Other kinds
    // of device are left out.
    void wifiFromNetworkManager()
    {
        QVERIFY(nm(u"AddEthernetDevice"_s, {u"eth0"_s, u"eth0"_s, 100}));
        // wlan0 is activated and joined; wlan1 is disconnected, with an access point in range.
        for (const QString &name : {u"wlan0"_s, u"wlan1"_s}) {
            const QString device = Nm + u"/Devices/" + name;
            QVERIFY(nm(u"AddWiFiDevice"_s, {name, name, name == u"wlan0" ? 100 : 30}));
            QVERIFY(nm(u"AddAccessPoint"_s, {device, name, u"larkmead_staff"_s, u"00:11:22:33:44:55"_s, 2u,
                                             2412u, 54000u, QVariant::fromValue<uchar>(80), 0u}));
            QVERIFY(nm(u"AddProperty"_s,
                       {QString(NetworkManager + u".Device.Wireless"), u"ActiveAccessPoint"_s,
                        variant(objectPath(name == u"wlan0" ? Nm + u"/AccessPoint/wlan0" : u"/"_s))},
                       device));
        }
        LinuxWifiClient client(QDBusConnection::systemBus());
        QCOMPARE(describe(client.interfaces()),
                 (QStringList{u"wlan0 on 1 larkmead_staff"_s, u"wlan1 on 0 -"_s}));
        QVERIFY(nm(u"SetProperty"_s, {Nm, NetworkManager, u"WirelessEnabled"_s, variant(false)}));
        QCOMPARE(describe(client.interfaces()), (QStringList{u"wlan0 off 0 -"_s, u"wlan1 off 0 -"_s}));
        QVERIFY(nm(u"Reset"_s, {}));
        QCOMPARE(describe(client.interfaces()), QStringList());
    }

    void wifiFromWpaSupplicantOrNowhere()
    {
        LinuxWifiClient client(QDBusConnection::systemBus());
        QCOMPARE(client.supportedInterfaceNames(), (QStringList{u"wlp3s0"_s, u"wlp2s0"_s}));
        QCOMPARE(client.currentNetworkSSID(u"wlp3s0"_s), std::nullopt);
        QCOMPARE(client.currentNetworkSSID(u"wlp2s0"_s), u"larkmead_staff"_s);
        QCOMPARE(client.currentNetworkSSID(u"wlan9"_s), std::nullopt);

        LinuxWifiClient absent(QDBusConnection::sessionBus()); // neither service on this bus
        QVERIFY(absent.interfaces().isEmpty() && !absent.defaultInterface());
        QCOMPARE(absent.supportedInterfaceNames(), std::nullopt);
    }

    // Identical banners are both shown: each asks for a new notification instead of replacing one, with
    // the application's icon and desktop entry. (Without a notification server: tst_tray.)
    void bannersReachTheServerUnchanged()
    {
        LogCapture log;
        FreedesktopBannerCenter center(QDBusConnection::sessionBus());
        StatusBarNotifications::requestNotificationPermission(center);
        for (int i = 0; i < 2; ++i)
            StatusBarNotifications::showNotification(center, u"自动联网"_s, u"检测到需要联网，正在自动登录..."_s);
        const QByteArray notify =
            uR"( Notify "Netlatch" 0 "app.netlatch.Netlatch" "自动联网" "检测到需要联网，正在自动登录..." [] {"desktop-entry": "app.netlatch.Netlatch", "sound-name": "message-new-instant"} -1
)"_s.toUtf8();
        QByteArray calls; // dbusmock's log: a line for each call, after the time
        QTRY_COMPARE((calls += m_notifications->readAllStandardOutput()).count(notify), 2);
        QCOMPARE(calls.count('\n'), 3); // and the permission request:
        QVERIFY(calls.contains(" GetCapabilities\n"));
        QCOMPARE(log.lines(), QStringList());
    }

    // A server that reads the body as markup gets it escaped, so that a portal's "<b>&" shows as
    // written instead of turning bold or vanishing. Its capabilities are asked for once.
    void bannerBodyIsEscapedForAMarkupServer()
    {
        QVERIFY(m_session->call(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
                                u"AddMethod"_s,
                                {u"org.freedesktop.Notifications"_s, u"GetCapabilities"_s, QString(), u"as"_s,
                                 u"ret = ['body', 'body-markup']"_s}));
        m_notifications->readAllStandardOutput();
        FreedesktopBannerCenter center(QDBusConnection::sessionBus());
        for (int i = 0; i < 2; ++i)
            StatusBarNotifications::showNotification(center, u"登录失败"_s, u"<b>&"_s);
        QByteArray calls;
        QTRY_COMPARE((calls += m_notifications->readAllStandardOutput()).count(R"( "登录失败" "&lt;b&gt;&amp;" )"), 2);
        QCOMPARE(calls.count(" GetCapabilities\n"), 1);
    }
    // A Secret Service that is not there (no session bus at all): a save and a load both end
    // Unavailable, answered on the event loop, with one log line. (One that stops answering:
    // tst_libsecretsecretstore.)
    void secretServiceAbsent()
    {
        const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS"); // libsecret connects on its own
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/netlatch-test-bus");
        const auto restore = qScopeGuard([&] { qputenv("DBUS_SESSION_BUS_ADDRESS", bus); });
        LogCapture log;
        LibsecretSecretStore store(500ms);
        KeychainHelper keychain(store);
        int answers = 0;
        keychain.saveCredentials(u"alice"_s, u"secret"_s, nullptr, [&](const SecretStore::Result &result) {
            answers += result.status == SecretStore::Status::Unavailable;
        });
        keychain.loadCredentials(nullptr, [&](const KeychainHelper::Read &read) {
            answers += read.result.status == SecretStore::Status::Unavailable && !read.credentials.username;
        });
        QCOMPARE(answers, 0); // never inside the call
        QTRY_COMPARE_WITH_TIMEOUT(answers, 2, 10000);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines()[0].startsWith(u"⚠️ 无法使用系统密钥环（Secret Service）: "_s), qPrintable(log.text()));
    }
};

QTEST_GUILESS_MAIN(TestDBusAdapters)
#include "tst_dbusadapters.moc"
