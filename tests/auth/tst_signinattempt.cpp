#include "LocalHttpServer.h"
#include "auth/HTTPAuthService.h"
#include "auth/SignInAttempt.h"
#include "common/NotificationCenter.h"

#include <QSignalSpy>
#include <QTest>

#include <httplib.h>

#include <memory>

using namespace Qt::StringLiterals;

class TestSignInAttempt : public QObject
{
    Q_OBJECT

    // A portal on loopback that refuses every account.
    LocalHttpServer m_portal;

private Q_SLOTS:
    void initTestCase()
    {
        m_portal.server().Get("/ac_portal/default/pc.html", [](const auto &, auto &) {});
        m_portal.server().Post("/ac_portal/login.php", [](const auto &, auto &res) {
            res.set_content("{'success':false,'msg':'密码错误'}", "text/html");
        });
        QVERIFY(m_portal.start());
    }

    void reportsOnlyWhileItLives_data()
    {
        QTest::addColumn<QString>("destroyed");
        QTest::addColumn<QStringList>("reports");
        QTest::newRow("kept") << u"never"_s << QStringList{u"密码错误"_s};
        QTest::newRow("destroyed by its report") << u"by its report"_s << QStringList{u"密码错误"_s};
        QTest::newRow("destroyed before the outcome") << u"at once"_s << QStringList();
    }

    // An attempt reports its own outcome once and not a later one made elsewhere; destroyed before its
    // outcome it reports nothing. Either way no observer is left behind.
    void reportsOnlyWhileItLives()
    {
        QFETCH(QString, destroyed);
        QFETCH(QStringList, reports);
        NotificationCenter center;
        HTTPAuthService service(m_portal.address(), center, HTTPAuthService::RecordSuccess());
        QSignalSpy authenticating(&service, &HTTPAuthService::isAuthenticatingChanged);
        auto attempt = std::make_unique<SignInAttempt>(service, center);
        QStringList reported;
        attempt->start(u"20231234"_s, u"wrong"_s, [&](const SignInAttempt::Outcome &outcome) {
            if (destroyed == u"by its report")
                attempt.reset();
            reported << outcome.message.value_or(u"-"_s);
        });
        if (destroyed == u"at once")
            attempt.reset();
        // Started and ended: its outcome is posted. Then a success from somebody else's sign-in.
        QTRY_COMPARE_WITH_TIMEOUT(authenticating.size(), 2, 20000);
        center.post(Notifications::LoginSuccess);
        QCOMPARE(reported, reports);
        QCOMPARE(center.observerCount(Notifications::LoginSuccess) +
                     center.observerCount(Notifications::LoginFailed),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestSignInAttempt)
#include "tst_signinattempt.moc"
