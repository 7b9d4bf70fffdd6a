#include "PrivateDBus.h"
#include "TestAppContext.h"

#include "gui/shell/StatusBarManager.h"
#include "gui/widgets/Theme.h"
#include "platform/linux/FreedesktopBannerCenter.h"
#include "platform/linux/StatusNotifierHostWait.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QtEndian>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString Watcher = u"org.kde.StatusNotifierWatcher"_s;
const QString NotificationServer = u"org.freedesktop.Notifications"_s;

/// Calls a D-Bus method, above all one of this very process. Qt exports the tray item on a connection
/// of its own, served by this thread: a plain blocking call would wait for an answer that only this
/// thread can give, so the call must keep the event loop running (QDBus::BlockWithGui).
QDBusMessage callOwnProcess(const QString &service, const QString &path, const QString &interface,
                            const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
}

QVariant busProperty(const QString &service, const QString &path, const QString &interface, const QString &name)
{
    return callOwnProcess(service, path, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {interface, name})
        .arguments().value(0).value<QDBusVariant>().variant();
}

/// The most a pixel of `picture`, laid over a panel of `panel`'s colour, contrasts with the panel (WCAG).
double bestContrast(const QImage &picture, const QColor &panel)
{
    QImage onPanel(picture.size(), QImage::Format_RGB32);
    onPanel.fill(panel);
    QPainter(&onPanel).drawImage(0, 0, picture);
    double best = 1;
    for (int y = 0; y < onPanel.height(); ++y) {
        for (int x = 0; x < onPanel.width(); ++x)
            best = std::max(best, Theme::contrast(onPanel.pixelColor(x, y), panel));
    }
    return best;
}

/// One dbusmenu row as the host reads it: its key and its label (empty for a separator).
struct Row
{
    int id;
    QString text;
};

QList<Row> readLayout(const QDBusMessage &reply)
{
    QList<Row> rows;
    const QDBusArgument layout = reply.arguments().value(1).value<QDBusArgument>();
    int id = 0;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const QDBusArgument item = child.variant().value<QDBusArgument>();
        item.beginStructure();
        item >> id >> properties;
        item.endStructure();
        rows.append({id, properties.value(u"label"_s).toString()});
    }
    layout.endArray();
    layout.endStructure();
    return rows;
}
} // namespace

/// The tray item on a private session bus against a StatusNotifierWatcher and a notification server
/// mocked with python-dbusmock, on the X server: the item registers even with a late watcher, its menu
/// is read and clicked over com.canonical.dbusmenu as a panel does, and quick sign-ins against a local
/// portal post their banners to the notification server.
class TestTray : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_bus;
    QProcess *m_notifications = nullptr;
    QProcess *m_watcher = nullptr;
    std::unique_ptr<TestAppContext> m_app;
    std::unique_ptr<FreedesktopBannerCenter> m_banners;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<StatusNotifierHostWait> m_trayHost;
    std::unique_ptr<StatusBarManager> m_statusBar;
    QString m_item; // the item's bus name, as registered with the watcher
    QByteArray m_notifyCalls;

    QDBusMessage callMenu(const QString &method, const QVariantList &arguments)
    {
        return callOwnProcess(m_item, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, method, arguments);
    }

    QList<Row> layout() { return readLayout(callMenu(u"GetLayout"_s, {0, -1, QStringList()})); }

    /// Clicks an entry as a panel does: it reads the layout, opens the menu (which refreshes the
    /// entries), then sends the click with the id it read before the opening.
    void click(const QString &text)
    {
        const QList<Row> rows = layout();
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row &r) { return r.text == text; });
        QVERIFY(row != rows.end());
        callMenu(u"AboutToShow"_s, {0});
        callMenu(u"Event"_s, {0, u"opened"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(layout().size(), rows.size());
        const QDBusMessage reply =
            callMenu(u"Event"_s, {row->id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    }

    /// The banners posted since the last call, as "title|body".
    QStringList newBanners()
    {
        QStringList banners;
        m_notifyCalls += m_notifications->readAllStandardOutput();
        for (const QByteArray &line : m_notifyCalls.split('\n')) {
            const QStringList quoted = QString::fromUtf8(line).split(u'"');
            if (line.contains(" Notify ") && quoted.size() > 7)
                banners << quoted[5] + u'|' + quoted[7];
        }
        return banners;
    }

private Q_SLOTS:
    // Each test reads only the banners it caused.
    void init()
    {
        m_notifications->readAllStandardOutput();
        m_notifyCalls.clear();
    }

    void initTestCase()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("the tray needs an X server (run under xvfb-run)");
        m_bus = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        m_notifications = m_bus->startMock({u"--template"_s, u"notification_daemon"_s}, NotificationServer);
        QVERIFY(m_notifications);
        m_app = std::make_unique<TestAppContext>();
        m_banners = std::make_unique<FreedesktopBannerCenter>(QDBusConnection::sessionBus());
        TestAppContext &app = *m_app;
        m_context.reset(new AppContext{app.preferences, app.keychain, *app.authService, *app.statistics,
                                       *app.networkProbe, app.notifications, *m_banners, app.versions,
                                       app.welcome, app.launchAtLogin});
        // The symbolic icon, installed where panels look for it (the test's own data folder).
        const QString icons = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                              u"/icons/hicolor/symbolic/apps"_s;
        QDir().mkpath(icons);
        QFile::remove(icons + u"/app.netlatch.Netlatch-symbolic.svg"_s);
        QVERIFY(QFile::copy(qEnvironmentVariable("NETLATCH_SOURCE_DIR") + u"/data/icons/app.netlatch.Netlatch-symbolic.svg"_s,
                            icons + u"/app.netlatch.Netlatch-symbolic.svg"_s));
        m_trayHost =
            std::make_unique<StatusNotifierHostWait>(QDBusConnection::sessionBus(), std::chrono::seconds(60));
        m_statusBar = std::make_unique<StatusBarManager>(*m_context, *m_trayHost);
    }

    // The panel comes up after the application: the item waits for it and registers then.
    void aLateWatcherStillGetsTheItem()
    {
        QVERIFY(!m_statusBar->statusItem());
        m_watcher =
            m_bus->startMock({u"--template"_s, qEnvironmentVariable("NETLATCH_SOURCE_DIR") +
                                                   u"/tests/support/dbusmock/statusnotifierwatcher.py"_s},
                             Watcher);
        QVERIFY(m_watcher);
        const auto registered = [] {
            return busProperty(Watcher, u"/StatusNotifierWatcher"_s, Watcher, u"RegisteredStatusNotifierItems"_s)
                .toStringList();
        };
        QTRY_COMPARE(registered().size(), 1);
        m_item = registered().first();
        QVERIFY(m_statusBar->statusItem()->isVisible());
    }

    // Panels tint the installed symbolic icon to suit themselves; trays that take pictures (XEmbed,
    // or a host that cannot find the name) get one readable on a dark panel and on a light one.
    void iconReadsOnEveryPanel()
    {
        const auto itemProperty = [this](const QString &name) {
            return busProperty(m_item, u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, name);
        };
        QCOMPARE(itemProperty(u"IconName"_s).toString(), u"app.netlatch.Netlatch-symbolic"_s);
        const QDBusArgument pictures = itemProperty(u"IconPixmap"_s).value<QDBusArgument>();
        pictures.beginArray();
        QVERIFY(!pictures.atEnd());
        int width = 0, height = 0;
        QByteArray argb; // ARGB32 in network byte order
        pictures.beginStructure();
        pictures >> width >> height >> argb;
        pictures.endStructure();
        QImage picture(width, height, QImage::Format_ARGB32);
        for (int i = 0; i < width * height; ++i)
            picture.setPixel(i % width, i / width, qFromBigEndian<quint32>(argb.constData() + 4 * i));
        for (const QColor panel : {QColor(0x35, 0x35, 0x35), QColor(0xf0, 0xf0, 0xf0), QColor(Qt::black)})
            QVERIFY2(bestContrast(picture, panel) >= 4.5, qPrintable(panel.name()));
    }

    // "一键联网" signs in against the local portal; the banners reach the notification server in order,
    // the tooltip tells the outcome, and only the tray's own outcome observers are left. A burst of
    // clicks signs in once (and is the accepted row). Without a notification server a failure brings
    // the window forward on "通用".
    void quickLogin_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<bool>("server");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("refused") << u"wrong"_s << 1 << true << u"登录失败|"_s + m_app->refusalMessage;
        QTest::newRow("burst of 200") << m_app->acceptedPassword << 200 << true << u"登录成功|校园网连接成功"_s;
        QTest::newRow("refused, no server") << u"wrong"_s << 1 << false << u"登录失败|"_s + m_app->refusalMessage;
    }

    void quickLogin()
    {
        QFETCH(QString, password);
        QFETCH(int, clicks);
        QFETCH(bool, server);
        QFETCH(QString, outcome);
        m_app->storeAccount(m_app->acceptedUsername, password);
        QWidget mainWindow;
        mainWindow.setWindowTitle(u"Netlatch"_s);
        if (!server) { // the last row: the server goes for good
            m_notifications->kill();
            QVERIFY(m_notifications->waitForFinished());
        }
        const int posts = m_app->loginPosts;
        for (int i = 0; i < clicks; ++i)
            QMetaObject::invokeMethod(m_statusBar.get(), &StatusBarManager::quickLogin);
        if (server)
            QTRY_COMPARE(newBanners(), (QStringList{u"正在登录|正在连接校园网..."_s, outcome}));
        else
            QTRY_VERIFY(mainWindow.isVisible());
        QCOMPARE(m_app->loginPosts, posts + 1);
        QTRY_VERIFY(m_statusBar->statusItem()->toolTip().contains(outcome.section(u'|', 0, 0)));
        QCOMPARE(m_app->notifications.observerCount(::Notifications::LoginSuccess), 1);
        QCOMPARE(m_app->notifications.observerCount(::Notifications::LoginFailed), 1);
    }

    // 显示主窗口 un-minimises the main window; 一键联网 without a complete account brings it forward
    // instead of signing in, and posts no banner.
    void theMainWindowComesForward_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::newRow("minimised, 显示主窗口") << u"显示主窗口"_s;
        QTest::newRow("no account, 一键联网") << u"一键联网"_s;
    }

    void theMainWindowComesForward()
    {
        QFETCH(QString, entry);
        m_app->storeAccount(m_app->acceptedUsername, QString());
        QWidget mainWindow;
        mainWindow.setWindowTitle(u"Netlatch"_s);
        mainWindow.showMinimized();
        const int posts = m_app->loginPosts;
        click(entry);
        QTRY_VERIFY(mainWindow.isVisible() && !mainWindow.isMinimized());
        QCOMPARE(m_app->loginPosts, posts);
        QCOMPARE(newBanners(), QStringList());
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
