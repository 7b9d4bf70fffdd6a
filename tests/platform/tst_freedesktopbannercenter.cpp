#include "FakeBannerCenter.h"
#include "LogCapture.h"
#include "PrivateDBus.h"
#include "app/StatusBarManager.h"
#include "platform/linux/FreedesktopBannerCenter.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QTest>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString mockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
} // namespace

class TestFreedesktopBannerCenter : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateDBus> m_session;
    std::unique_ptr<PrivateDBus> m_empty;

    // The arguments of every call of `method` the notification server has seen.
    QList<QVariantList> callsOf(const QString &method)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, mockInterface, QStringLiteral("GetMethodCalls"));
        message.setArguments({method});
        const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
        QList<QVariantList> calls;
        if (reply.type() != QDBusMessage::ReplyMessage)
            return calls;
        const auto list = reply.arguments().constFirst().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            qulonglong timestamp = 0;
            QVariantList arguments;
            list.beginStructure();
            list >> timestamp >> arguments;
            list.endStructure();
            calls.append(arguments);
        }
        list.endArray();
        return calls;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_session = std::make_unique<PrivateDBus>(PrivateDBus::Role::Session);
        QVERIFY2(m_session->isRunning(), qPrintable(m_session->errorString()));
        QVERIFY2(m_session->startMock({QStringLiteral("--template"), QStringLiteral("notification_daemon")}, service),
                 qPrintable(m_session->errorString()));
        // A bus of its own where no notification server runs.
        m_empty = std::make_unique<PrivateDBus>(PrivateDBus::Role::System);
        QVERIFY2(m_empty->isRunning(), qPrintable(m_empty->errorString()));
    }

    void init()
    {
        QVERIFY(m_session->call(service, path, mockInterface, QStringLiteral("ClearCalls")));
    }

    // Identical banners are both shown: each asks for a new notification instead of replacing one.
    void bannersReachTheServerUnchanged()
    {
        FreedesktopBannerCenter center(QDBusConnection::sessionBus());
        LogCapture log;
        StatusBarManager::showNotification(center, QStringLiteral("自动联网"), QStringLiteral("检测到需要联网，正在自动登录..."));
        StatusBarManager::showNotification(center, QStringLiteral("自动联网"), QStringLiteral("检测到需要联网，正在自动登录..."));
        QTRY_COMPARE(callsOf(QStringLiteral("Notify")).size(), 2);

        for (const QVariantList &call : callsOf(QStringLiteral("Notify"))) {
            QCOMPARE(call.size(), 8);
            QCOMPARE(call[0].toString(), QStringLiteral("Netlatch"));
            QCOMPARE(call[1].toUInt(), 0u);
            QCOMPARE(call[3].toString(), QStringLiteral("自动联网"));
            QCOMPARE(call[4].toString(), QStringLiteral("检测到需要联网，正在自动登录..."));
            QVERIFY(call[5].toStringList().isEmpty());
            const QVariantMap hints = qdbus_cast<QVariantMap>(call[6]);
            QCOMPARE(hints, (QVariantMap{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}}));
            QCOMPARE(call[7].toInt(), -1);
        }
        QVERIFY(log.lines().isEmpty());
    }

    void permissionRequestAsksForTheCapabilities()
    {
        FreedesktopBannerCenter center(QDBusConnection::sessionBus());
        StatusBarManager::requestNotificationPermission(center);
        QTRY_COMPARE(callsOf(QStringLiteral("GetCapabilities")).size(), 1);
    }

    // Without a notification server each request logs its one line, and nothing is retried.
    void withoutAServerTheFailuresAreLogged()
    {
        FreedesktopBannerCenter center(QDBusConnection::connectToBus(m_empty->address(), QStringLiteral("empty")));
        LogCapture log;
        StatusBarManager::requestNotificationPermission(center);
        StatusBarManager::showNotification(center, QStringLiteral("登录成功"), QStringLiteral("已连接校园网"));
        QTRY_COMPARE(log.lines().size(), 2);
        QVERIFY2(log.lines()[0].startsWith(QStringLiteral("通知权限请求失败: ")), qPrintable(log.lines()[0]));
        QVERIFY2(log.lines()[1].startsWith(QStringLiteral("通知发送失败: ")), qPrintable(log.lines()[1]));
        QVERIFY(log.lines()[1].size() > QStringLiteral("通知发送失败: ").size());
    }

    // The static operations go through the installed banner centre.
    void staticOperationsUseTheInstalledCentre()
    {
        FakeBannerCenter fake;
        BannerCenter::setShared(&fake);
        LogCapture log;
        StatusBarManager::requestNotificationPermission();
        StatusBarManager::showNotification(QStringLiteral("正在登录"), QStringLiteral("正在连接校园网..."));
        fake.failure = QStringLiteral("rejected");
        StatusBarManager::showNotification(QStringLiteral("登录失败"), QStringLiteral("登录失败"));
        BannerCenter::setShared(nullptr);

        QCOMPARE(fake.authorizationRequests, 1);
        QCOMPARE(fake.banners, (QList<FakeBannerCenter::Banner>{{QStringLiteral("正在登录"), QStringLiteral("正在连接校园网...")},
                                                                {QStringLiteral("登录失败"), QStringLiteral("登录失败")}}));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("通知发送失败: rejected")});
    }
};

QTEST_GUILESS_MAIN(TestFreedesktopBannerCenter)
#include "tst_freedesktopbannercenter.moc"
