#include "FakeSecretStore.h"
#include "store/KeychainHelper.h"

#include <QTest>

namespace {
const QString otherService = QStringLiteral("org.example.other");

int itemCount(const FakeSecretStore &store, const QString &service)
{
    int count = 0;
    for (const FakeSecretStore::Item &item : store.items())
        count += item.service == service ? 1 : 0;
    return count;
}
} // namespace

class TestKeychainHelper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savingReplacesTheWholeAccount()
    {
        FakeSecretStore store;
        store.plant({KeychainHelper::service, QStringLiteral("stale"), "left by an older version"});
        store.plant({otherService, QStringLiteral("username"), "someone else"});
        KeychainHelper keychain(store);

        QVERIFY(keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("first")));
        QVERIFY(keychain.saveCredentials(QStringLiteral("bob"), QStringLiteral("second")));

        QCOMPARE(itemCount(store, KeychainHelper::service), 2);
        QCOMPARE(itemCount(store, otherService), 1);
        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username, QStringLiteral("bob"));
        QCOMPARE(credentials.password, QStringLiteral("second"));
        QVERIFY(credentials.isUsable());
    }

    void halfFailedSaveKeepsWhatWasWritten_data()
    {
        QTest::addColumn<QString>("failingAccount");
        QTest::addColumn<bool>("usernameLoads");
        QTest::addColumn<bool>("passwordLoads");
        QTest::newRow("name fails, password still written") << QStringLiteral("username") << false << true;
        QTest::newRow("password fails") << QStringLiteral("password") << true << false;
    }

    void halfFailedSaveKeepsWhatWasWritten()
    {
        QFETCH(QString, failingAccount);
        QFETCH(bool, usernameLoads);
        QFETCH(bool, passwordLoads);
        FakeSecretStore store;
        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(QStringLiteral("old"), QStringLiteral("old-secret")));

        store.failAddsOf(failingAccount);
        QVERIFY(!keychain.saveCredentials(QStringLiteral("new"), QStringLiteral("new-secret")));

        // Nothing is rolled back and nothing of the old account survives.
        QCOMPARE(itemCount(store, KeychainHelper::service), 1);
        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username.has_value(), usernameLoads);
        QCOMPARE(credentials.password.has_value(), passwordLoads);
        if (usernameLoads)
            QCOMPARE(credentials.username, QStringLiteral("new"));
        if (passwordLoads)
            QCOMPARE(credentials.password, QStringLiteral("new-secret"));
        QVERIFY(!credentials.isUsable());
    }

    void deletedOrUnreachableAccountLoadsAsAbsent()
    {
        FakeSecretStore store;
        store.plant({otherService, QStringLiteral("password"), "kept"});
        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("secret")));

        keychain.deleteCredentials();
        Credentials credentials = keychain.loadCredentials();
        QVERIFY(!credentials.username);
        QVERIFY(!credentials.password);
        QCOMPARE(itemCount(store, otherService), 1);

        QVERIFY(keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("secret")));
        store.setAvailable(false);
        credentials = keychain.loadCredentials();
        QVERIFY(!credentials.username);
        QVERIFY(!credentials.password);
        QVERIFY(!keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("secret")));
        QVERIFY(!keychain.isStoreAvailable());
    }

    void chineseTextRoundTripsByteForByte()
    {
        FakeSecretStore store;
        KeychainHelper keychain(store);
        const QString name = QStringLiteral("张三@校园网");
        const QString password = QStringLiteral("密码 🔐 with spaces ");

        QVERIFY(keychain.saveCredentials(name, password));

        const QList<FakeSecretStore::Item> items = store.items();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0).account, KeychainHelper::usernameAccount);
        QCOMPARE(items.at(0).data, name.toUtf8());
        QCOMPARE(items.at(1).account, KeychainHelper::passwordAccount);
        QCOMPARE(items.at(1).data, password.toUtf8());
        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username, name);
        QCOMPARE(credentials.password, password);
    }

    void bytesThatAreNotUtf8ReadAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("stray continuation byte") << QByteArray("abc\x80");
        QTest::newRow("truncated 中") << QByteArray("\xE4\xB8");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
        QTest::newRow("UTF-16 surrogate") << QByteArray("\xED\xA0\x80");
        QTest::newRow("GBK 中文") << QByteArray("\xD6\xD0\xCE\xC4");
    }

    void bytesThatAreNotUtf8ReadAsAbsent()
    {
        QFETCH(QByteArray, bytes);
        FakeSecretStore store;
        store.plant({KeychainHelper::service, KeychainHelper::usernameAccount, "alice"});
        store.plant({KeychainHelper::service, KeychainHelper::passwordAccount, bytes});
        KeychainHelper keychain(store);

        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username, QStringLiteral("alice"));
        QVERIFY(!credentials.password);
        QVERIFY(!credentials.isUsable());
    }

    void unusualButValidBytesLoadUnchanged()
    {
        // A leading byte-order mark and an empty item are data like any other.
        FakeSecretStore store;
        store.plant({KeychainHelper::service, KeychainHelper::usernameAccount, "\xEF\xBB\xBF" "alice"});
        store.plant({KeychainHelper::service, KeychainHelper::passwordAccount, ""});
        KeychainHelper keychain(store);

        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username->toUtf8(), QByteArray("\xEF\xBB\xBF" "alice"));
        QCOMPARE(credentials.password, QString());
        QVERIFY(!credentials.isUsable());
    }
};

QTEST_GUILESS_MAIN(TestKeychainHelper)
#include "tst_keychainhelper.moc"
