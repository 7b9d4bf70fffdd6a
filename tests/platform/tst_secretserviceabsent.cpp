#include "LogCapture.h"
#include "PrivateDBus.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

class TestSecretServiceAbsent : public QObject
{
    Q_OBJECT

    // A save, load and delete against a store that cannot serve them: all fail, with one log line.
    static void verifyEverythingFails(LibsecretSecretStore &&store, const QString &problem)
    {
        LogCapture log;
        KeychainHelper keychain(store);
        QVERIFY(!keychain.saveCredentials(u"alice"_s, u"secret"_s));
        QVERIFY(!keychain.loadCredentials().username && !keychain.loadCredentials().password);
        keychain.deleteCredentials();
        QVERIFY(!keychain.isStoreAvailable());
        QCOMPARE(log.lines().size(), 1);
        QVERIFY2(log.lines()[0].startsWith(u"⚠️ 无法使用系统密钥环（Secret Service）: "_s +
                                           problem),
                 qPrintable(log.text()));
    }

private Q_SLOTS:
    void noSessionBus()
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/netlatch-test-bus");
        verifyEverythingFails(LibsecretSecretStore(), {});
    }

    // Like a keyring stuck behind an unlock prompt that nobody can see: the first call blocks the
    // service, and every later one waits behind it.
    void serviceThatNeverAnswers()
    {
        PrivateDBus bus(PrivateDBus::Role::Session);
        const QString name = u"org.freedesktop.secrets"_s, path = u"/org/freedesktop/secrets"_s;
        QVERIFY(bus.startMock({name, path, u"org.freedesktop.Secret.Service"_s}, name));
        const QString stuck = u"import time; time.sleep(120)"_s;
        QVERIFY(bus.call(name, path, u"AddMethod"_s,
                         {QString(), u"SearchItems"_s, u"a{ss}"_s, u"aoao"_s, stuck}));
        QVERIFY(bus.call(name, path, u"AddMethod"_s, {QString(), u"OpenSession"_s, u"sv"_s, u"vo"_s, stuck}));
        verifyEverythingFails(LibsecretSecretStore(500ms), u"0.5秒内没有响应"_s);
    }
};

QTEST_GUILESS_MAIN(TestSecretServiceAbsent)
#include "tst_secretserviceabsent.moc"
