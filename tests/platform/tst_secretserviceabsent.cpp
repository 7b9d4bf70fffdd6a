#include "LogCapture.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

/// A Secret Service that is not there: a save and a load both end Unavailable, answered on the event
/// loop, with one log line. (One that stops answering: tst_libsecretsecretstore.)
class TestSecretServiceAbsent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everythingFailsWithOneLine()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/netlatch-test-bus");
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

QTEST_GUILESS_MAIN(TestSecretServiceAbsent)
#include "tst_secretserviceabsent.moc"
