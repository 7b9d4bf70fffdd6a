#include "LogCapture.h"
#include "PrivateDBus.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

/// A Secret Service that is not there, and one stuck (like a keyring behind a prompt nobody can
/// see): a save and a load both end Unavailable, answered on the event loop, with one log line.
class TestSecretServiceAbsent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everythingFailsWithOneLine_data()
    {
        QTest::addColumn<bool>("stuck");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no session bus") << false << QString();
        QTest::newRow("never answers") << true << u"0.5秒内没有响应"_s;
    }

    void everythingFailsWithOneLine()
    {
        QFETCH(bool, stuck);
        QFETCH(QString, problem);
        std::optional<PrivateDBus> bus;
        if (stuck) {
            bus.emplace(PrivateDBus::Role::Session);
            const QString name = u"org.freedesktop.secrets"_s, path = u"/org/freedesktop/secrets"_s;
            QVERIFY(bus->startMock({name, path, u"org.freedesktop.Secret.Service"_s}, name));
            const QString sleep = u"import time; time.sleep(120)"_s;
            QVERIFY(bus->call(name, path, u"AddMethod"_s, {QString(), u"SearchItems"_s, u"a{ss}"_s, u"aoao"_s, sleep}));
            QVERIFY(bus->call(name, path, u"AddMethod"_s, {QString(), u"OpenSession"_s, u"sv"_s, u"vo"_s, sleep}));
        } else {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/netlatch-test-bus");
        }
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
        QVERIFY2(log.lines()[0].startsWith(u"⚠️ 无法使用系统密钥环（Secret Service）: "_s + problem), qPrintable(log.text()));
    }
};

QTEST_GUILESS_MAIN(TestSecretServiceAbsent)
#include "tst_secretserviceabsent.moc"
