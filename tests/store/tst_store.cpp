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

    QTemporaryDir m_dir;
    const QString m_fileName = m_dir.filePath(QStringLiteral("netlatch.conf"));

    std::unique_ptr<Preferences> open() const
    {
        return std::make_unique<Preferences>(std::make_unique<QSettings>(m_fileName, QSettings::IniFormat));
    }

private Q_SLOTS:
    void init() { QFile::remove(m_fileName); }

    // A hand-edited file whose values have the wrong types reads as a fresh store.
    void wrongTypedValuesReadAsDefaults()
    {
        const QByteArray file("[General]\nautoLoginEnabled=yes\nhideDockIcon=1\n"
                              "quickLoginShortcut=not bytes\nlastShownVersion=@ByteArray(3.0)\n"
                              "com.netlatch.loginRecords=@Variant(garbage\n");
        QFile settings(m_fileName);
        QVERIFY(settings.open(QIODevice::WriteOnly) && settings.write(file) == file.size());
        settings.close();
        const auto store = open();
        for (const PreferenceKey &key : PreferenceKeys::all) {
            const bool absent = key.type == PreferenceType::Boolean ? !store->boolValue(key)
                                : key.type == PreferenceType::Text  ? !store->textValue(key)
                                                                    : !store->dataValue(key);
            QVERIFY2(absent, key.name);
        }
        QCOMPARE(store->lastShownVersion(), QStringLiteral("1.0"));
    }

    // The first-run reset, after a restart, clears the first-run facts and keeps everything else.
    void theFirstRunResetKeepsTheRest()
    {
        const QByteArray json = R"([{"username":"张三","timestamp":1}])";
        {
            const auto store = open();
            store->setBool(PreferenceKeys::hasShownWelcome, true);
            store->setBool(PreferenceKeys::hasSetupCredentials, true);
            store->setText(PreferenceKeys::lastShownVersion, QStringLiteral("2.1"));
            store->setBool(PreferenceKeys::autoLoginEnabled, true);
            store->setData(PreferenceKeys::quickLoginShortcut, "{}");
            store->setData(PreferenceKeys::loginRecords, json);
        }
        const auto store = open(); // after a restart
        store->resetFirstRunState();
        QVERIFY(!store->boolValue(PreferenceKeys::hasShownWelcome) &&
                !store->boolValue(PreferenceKeys::hasSetupCredentials));
        QCOMPARE(store->lastShownVersion(), QStringLiteral("1.0"));
        QVERIFY(store->boolValue(PreferenceKeys::autoLoginEnabled));
        QCOMPARE(store->dataValue(PreferenceKeys::quickLoginShortcut), QByteArray("{}"));
        QCOMPARE(store->dataValue(PreferenceKeys::loginRecords), json);
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

    // The settings window's test fails the password; here the name fails and the password is still
    // written. Nothing is rolled back and nothing of the old account survives.
    void halfFailedSaveKeepsWhatWasWritten()
    {
        FakeSecretStore store;
        KeychainHelper keychain(store);
        QCOMPARE(saved(keychain, QStringLiteral("old"), QStringLiteral("old-secret")), Status::Done);
        store.failAddsOf(nameItem);
        QCOMPARE(saved(keychain, QStringLiteral("new"), QStringLiteral("new-secret")), Status::Unavailable);
        QCOMPARE(store.items().size(), 1);
        QCOMPARE(loaded(keychain), (QStringList{"(absent)", "new-secret"}));
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
