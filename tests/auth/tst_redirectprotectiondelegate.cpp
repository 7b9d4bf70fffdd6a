#include "LogCapture.h"
#include "auth/RedirectProtectionDelegate.h"

#include <QTest>

namespace {
const QString portalHost = QStringLiteral("10.248.98.2");
QUrl portal(const QString &path)
{
    return QUrl(QStringLiteral("http://10.248.98.2") + path);
}
} // namespace

class TestRedirectProtectionDelegate : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void followsFiveAndRefusesTheSixth()
    {
        LogCapture log;
        RedirectProtectionDelegate guard(portalHost);
        for (int i = 1; i <= 5; ++i)
            QVERIFY(guard.willPerformRedirection(portal(QStringLiteral("/hop/%1").arg(i))));
        QVERIFY(!guard.shouldBlock());
        QVERIFY(!guard.willPerformRedirection(portal(QStringLiteral("/hop/6"))));
        QVERIFY(guard.shouldBlock());
        QCOMPARE(guard.redirectCount(), 6);
        QCOMPARE(guard.blockReason(),
                 QStringLiteral("重定向次数过多（超过5次），可能是VPN导致的。请关闭VPN后重试。"));
        QCOMPARE(log.lines(), (QStringList{
                                  "📍 重定向 #1 到: http://10.248.98.2/hop/1",
                                  "📍 重定向 #2 到: http://10.248.98.2/hop/2",
                                  "📍 重定向 #3 到: http://10.248.98.2/hop/3",
                                  "📍 重定向 #4 到: http://10.248.98.2/hop/4",
                                  "📍 重定向 #5 到: http://10.248.98.2/hop/5",
                                  "⚠️ 重定向次数过多: 6",
                              }));
        // Once refused, the verdict stays and the count keeps growing.
        QVERIFY(!guard.willPerformRedirection(portal(QStringLiteral("/hop/1"))));
        QCOMPARE(guard.redirectCount(), 7);
        QCOMPARE(guard.blockReason(), QStringLiteral("检测到重定向循环，可能是VPN导致的。请关闭VPN后重试。"));
    }

    void loopIsFoundBeforeTheCountAndTheFirstURLIsNotVisited()
    {
        LogCapture log;
        RedirectProtectionDelegate guard(portalHost);
        // A → B → A → B: the first URL (A) is not in the visited set, so one return to it is followed.
        QVERIFY(guard.willPerformRedirection(portal(QStringLiteral("/b"))));
        QVERIFY(guard.willPerformRedirection(portal(QStringLiteral("/a"))));
        QVERIFY(!guard.willPerformRedirection(portal(QStringLiteral("/b"))));
        QCOMPARE(guard.redirectError(), std::optional<QString>(RedirectProtectionDelegate::loopReason));
        QVERIFY(log.contains(QStringLiteral("⚠️ 检测到重定向循环: http://10.248.98.2/b")));
        QCOMPARE(guard.visitedURLs().size(), 2);
    }

    void hostTest_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("follows");
        QTest::addColumn<bool>("logsHost");
        QTest::newRow("portal itself") << "http://10.248.98.2:8080/x" << true << false;
        QTest::newRow("portal address as a substring") << "http://10.248.98.23/x" << true << false;
        QTest::newRow("foreign host") << "http://vpn.example.com/login" << false << true;
        QTest::newRow("localhost") << "http://localhost:9000/x" << true << true;
        QTest::newRow("127.0.0.1") << "http://127.0.0.1/x" << true << true;
        QTest::newRow("no host") << "file:///etc/hosts" << true << false;
    }

    void hostTest()
    {
        QFETCH(QString, target);
        QFETCH(bool, follows);
        QFETCH(bool, logsHost);
        LogCapture log;
        RedirectProtectionDelegate guard(portalHost);
        const QUrl url(target);
        QCOMPARE(guard.willPerformRedirection(url), follows);
        QCOMPARE(guard.shouldBlock(), !follows);
        QCOMPARE(log.contains(QStringLiteral("⚠️ 检测到URL被重定向到: ") + url.host()), logsHost);
        if (!follows)
            QCOMPARE(guard.blockReason(), RedirectProtectionDelegate::rewrittenReason);
    }

    void fallbackReasonWhenNothingWasRefused()
    {
        const RedirectProtectionDelegate guard(portalHost);
        QCOMPARE(guard.blockReason(), QStringLiteral("检测到重定向问题，可能是VPN导致的。请关闭VPN后重试。"));
    }
};

QTEST_GUILESS_MAIN(TestRedirectProtectionDelegate)
#include "tst_redirectprotectiondelegate.moc"
