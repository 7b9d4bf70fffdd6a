#include "LogCapture.h"
#include "PrivateDBus.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {
const QString problemPrefix = QStringLiteral("⚠️ 无法使用系统密钥环（Secret Service）: ");

// A whole save, load and delete against a store that cannot serve them.
void verifyEverythingFails(LibsecretSecretStore &store)
{
    KeychainHelper keychain(store);
    QVERIFY(!keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("secret")));
    const Credentials credentials = keychain.loadCredentials();
    QVERIFY(!credentials.username);
    QVERIFY(!credentials.password);
    keychain.deleteCredentials();
    QVERIFY(!keychain.isStoreAvailable());
}
} // namespace

class TestSecretServiceAbsent : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noSessionBusFailsWithOneLogLine()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/netlatch-test-bus");
        LogCapture log;
        LibsecretSecretStore store;

        verifyEverythingFails(store);
        verifyEverythingFails(store);

        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines().first().startsWith(problemPrefix), qPrintable(log.text()));
    }

    void serviceThatNeverAnswersIsAbandoned()
    {
        PrivateDBus bus(PrivateDBus::Role::Session);
        QVERIFY2(bus.isRunning(), qPrintable(bus.errorString()));
        const QString name = QStringLiteral("org.freedesktop.secrets");
        const QString path = QStringLiteral("/org/freedesktop/secrets");
        QVERIFY2(bus.startMock({name, path, QStringLiteral("org.freedesktop.Secret.Service")}, name),
                 qPrintable(bus.errorString()));
        // Like a keyring stuck behind an unlock prompt that nobody can see: the first call blocks
        // the mock, and every later one waits behind it.
        const auto addStuckMethod = [&](const QString &method, const QString &in, const QString &out) {
            return bus.call(name, path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"),
                            {QStringLiteral("org.freedesktop.Secret.Service"), method, in, out,
                             QStringLiteral("import time; time.sleep(120)")});
        };
        QVERIFY(addStuckMethod(QStringLiteral("SearchItems"), QStringLiteral("a{ss}"), QStringLiteral("aoao")));
        QVERIFY(addStuckMethod(QStringLiteral("OpenSession"), QStringLiteral("sv"), QStringLiteral("vo")));
        LogCapture log;
        LibsecretSecretStore store(500ms);

        verifyEverythingFails(store);

        QCOMPARE(log.lines(), QStringList{problemPrefix + QStringLiteral("0.5秒内没有响应")});
    }
};

QTEST_GUILESS_MAIN(TestSecretServiceAbsent)
#include "tst_secretserviceabsent.moc"
