#include "LogCapture.h"
#include "common/BuildConfig.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"

#include <QHostAddress>
#include <QTest>
#include <QUrl>

#include <thread>
#include <vector>

namespace {
bool isLoopbackHost(const QString &host)
{
    const QHostAddress address(host);
    return !address.isNull() && address.protocol() == QHostAddress::IPv4Protocol &&
           (address.toIPv4Address() >> 24) == 127;
}
} // namespace

class TestFoundation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A test build must never reach a real portal, statistics server or probe site.
    void outsideAddressesStayOnLoopback()
    {
        const QUrl portal(QStringLiteral("http://") + QString::fromUtf8(BuildConfig::portalAddress));
        QVERIFY2(isLoopbackHost(portal.host()), BuildConfig::portalAddress);
        const QUrl stats(QString::fromUtf8(BuildConfig::statsApiBase));
        QVERIFY2(isLoopbackHost(stats.host()), BuildConfig::statsApiBase);
        QCOMPARE(stats.path(), QStringLiteral("/api"));
        const QUrl probe(QString::fromUtf8(BuildConfig::probeURL));
        QVERIFY2(isLoopbackHost(probe.host()), BuildConfig::probeURL);
        QCOMPARE(probe.scheme(), QStringLiteral("http"));
    }

    void observersMayRemoveThemselvesAndOthersDuringAPost()
    {
        NotificationCenter center;
        QStringList calls;
        NotificationCenter::Token second = 0;
        NotificationCenter::Token first = center.addObserver(Notifications::LoginSuccess, [&](const QVariantMap &info) {
            calls << QStringLiteral("first:") + info.value(Notifications::UsernameKey).toString();
            center.removeObserver(first);
            center.removeObserver(second);
        });
        second = center.addObserver(Notifications::LoginSuccess, [&](const QVariantMap &) { calls << "second"; });
        center.addObserver(Notifications::LoginFailed, [&](const QVariantMap &) { calls << "failed"; });

        center.post(Notifications::LoginSuccess, {{Notifications::UsernameKey, QStringLiteral("张三")}});
        center.post(Notifications::LoginSuccess);
        QCOMPARE(calls, QStringList{QStringLiteral("first:张三")});
        QCOMPARE(center.observerCount(Notifications::LoginSuccess), 0);
        QCOMPARE(center.observerCount(Notifications::LoginFailed), 1);
    }

    void logLinesReachTheCaptureWholeFromAnyThread()
    {
        LogCapture capture;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                for (int i = 0; i < 50; ++i)
                    Log::write(QStringLiteral("🔍 线程 %1 行 %2").arg(t).arg(i));
            });
        for (auto &thread : threads)
            thread.join();
        QCOMPARE(capture.lines().size(), 200);
        QVERIFY(capture.contains(QStringLiteral("🔍 线程 3 行 49")));
    }
};

QTEST_GUILESS_MAIN(TestFoundation)
#include "tst_foundation.moc"
