#include "FakeSecretStore.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Item = FakeSecretStore::Item;
const QString service = KeychainHelper::service;
const QString nameItem = KeychainHelper::usernameAccount, passwordItem = KeychainHelper::passwordAccount;

using Status = SecretStore::Status;

// The name and the password as they load; "(absent)" for a field that does not.
QStringList loaded(const KeychainHelper &keychain)
{
    std::optional<Credentials> credentials;
    keychain.loadCredentials(nullptr, [&](const KeychainHelper::Read &read) { credentials = read.credentials; });
    if (!QTest::qWaitFor([&] { return credentials.has_value(); }))
        return {};
    return {credentials->username.value_or("(absent)"), credentials->password.value_or("(absent)")};
}

// How a save ended.
Status saved(KeychainHelper &keychain, const QString &username, const QString &password)
{
    std::optional<Status> status;
    keychain.saveCredentials(username, password, nullptr, [&](const SecretStore::Result &r) { status = r.status; });
    return QTest::qWaitFor([&] { return status.has_value(); }) ? *status : Status::Unavailable;
}
} // namespace

/// The preference file, and the account in the secret store over an in-memory store that keeps every
/// item it is given.
class TestStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A hand-edited file whose values have the wrong types reads as a fresh store.
    void wrongTypedValuesReadAsDefaults()
    {
        const QByteArray file("[General]\nautoLoginEnabled=yes\nhideDockIcon=1\n"
                              "quickLoginShortcut=not bytes\nlastShownVersion=@ByteArray(3.0)\n"
                              "com.netlatch.loginRecords=@Variant(garbage\n");
        QTemporaryDir dir;
        QFile settings(dir.filePath(QStringLiteral("netlatch.conf")));
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size());
        settings.close();
        const Preferences store(std::make_unique<QSettings>(settings.fileName(), QSettings::IniFormat));
        for (const PreferenceKey &key : PreferenceKeys::all) {
            const bool absent = key.type == PreferenceType::Boolean ? !store.boolValue(key)
                                : key.type == PreferenceType::Text  ? !store.textValue(key)
                                                                    : !store.dataValue(key);
            QVERIFY2(absent, key.name);
        }
        QCOMPARE(store.lastShownVersion(), QStringLiteral("1.0"));
    }

    void savingReplacesTheWholeAccountAndDeletingLeavesNone()
    {
        const Item other{QStringLiteral("org.example.other"), nameItem, "someone else"};
        FakeSecretStore store;
        store.plant({service, QStringLiteral("stale"), "left by an older version"});
        store.plant(other);
        KeychainHelper keychain(store);
        const QString name = QStringLiteral("张三@校园网"), password = QStringLiteral("密码 🔐 with spaces ");

        QCOMPARE(saved(keychain, QStringLiteral("alice"), QStringLiteral("first")), Status::Done);
        QCOMPARE(saved(keychain, name, password), Status::Done);
        QCOMPARE(store.items(),
                 (QList<Item>{
                     other, {service, nameItem, name.toUtf8()}, {service, passwordItem, password.toUtf8()}}));
        QCOMPARE(loaded(keychain), (QStringList{name, password}));

        keychain.deleteCredentials(nullptr, [](const SecretStore::Result &) {});
        QCOMPARE(store.items(), QList<Item>{other});
        QCOMPARE(loaded(keychain), (QStringList{"(absent)", "(absent)"}));
    }

    void bytesThatAreNotUtf8ReadAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("truncated 中") << QByteArray("\xE4\xB8");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
        QTest::newRow("UTF-16 surrogate") << QByteArray("\xED\xA0\x80");
        QTest::newRow("GBK 中文") << QByteArray("\xD6\xD0\xCE\xC4");
    }

    void bytesThatAreNotUtf8ReadAsAbsent()
    {
        QFETCH(QByteArray, bytes);
        FakeSecretStore store;
        store.plant({service, nameItem, "alice"});
        store.plant({service, passwordItem, bytes});
        QCOMPARE(loaded(KeychainHelper(store)), (QStringList{"alice", "(absent)"}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
