// Runs inside run-with-keyring.sh: a private session bus with an unlocked GNOME Keyring.
#include "LogCapture.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTest>

namespace {

struct ToolResult
{
    int exitCode = -1;
    QByteArray output;
};

// secret-tool stands in for any other program that reads the keyring. `search` prints the
// attributes on stderr, hence the merged channels.
ToolResult secretTool(const QStringList &arguments, const QByteArray &input = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.write(input);
    tool.closeWriteChannel();
    if (!tool.waitForFinished(30000))
        return {};
    return {tool.exitCode(), tool.readAllStandardOutput()};
}

ToolResult lookUp(const QString &account)
{
    return secretTool({QStringLiteral("lookup"), QStringLiteral("service"), KeychainHelper::service,
                       QStringLiteral("account"), account});
}

int itemsOfTheService()
{
    // `search --all` prints one "attribute.account = …" line per item.
    const ToolResult result =
        secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"), KeychainHelper::service});
    return int(result.output.count("attribute.account = "));
}

} // namespace

class TestLibsecretSecretStore : public QObject
{
    Q_OBJECT

    LogCapture m_log;

private Q_SLOTS:
    void init() { QVERIFY(LibsecretSecretStore().deleteItems(KeychainHelper::service)); }

    void otherProgramsSeeTheAccountAsTwoItems()
    {
        LibsecretSecretStore store;
        KeychainHelper keychain(store);
        const QString name = QStringLiteral("张三");
        const QString password = QStringLiteral("密码 🔐");

        QVERIFY(keychain.saveCredentials(QStringLiteral("first"), QStringLiteral("first-secret")));
        QVERIFY(keychain.saveCredentials(name, password));

        QCOMPARE(itemsOfTheService(), 2);
        const ToolResult storedName = lookUp(KeychainHelper::usernameAccount);
        QCOMPARE(storedName.exitCode, 0);
        QCOMPARE(storedName.output, name.toUtf8());
        QCOMPARE(lookUp(KeychainHelper::passwordAccount).output, password.toUtf8());
        const Credentials credentials = keychain.loadCredentials();
        QCOMPARE(credentials.username, name);
        QCOMPARE(credentials.password, password);

        keychain.deleteCredentials();
        QCOMPARE(itemsOfTheService(), 0);
        QCOMPARE(lookUp(KeychainHelper::usernameAccount).output, QByteArray());
        QVERIFY(!keychain.loadCredentials().username);
        QVERIFY(!keychain.loadCredentials().password);
        QVERIFY(store.isAvailable());
        QCOMPARE(m_log.lines(), QStringList());
    }

    void itemsHoldRawBytes()
    {
        LibsecretSecretStore store;
        const QByteArray bytes("\x00\xFF\xFE not text\n", 13);
        QVERIFY(store.addItem(KeychainHelper::service, QStringLiteral("binary"), bytes));
        QCOMPARE(store.findItem(KeychainHelper::service, QStringLiteral("binary")), bytes);
        QVERIFY(!store.findItem(KeychainHelper::service, QStringLiteral("missing")));
        QVERIFY(!store.findItem(QStringLiteral("org.example.other"), QStringLiteral("binary")));
    }

    void itemsWrittenByOtherToolsAreFoundAndCleared()
    {
        // secret-tool stores under its own schema name; the attributes alone must match.
        QCOMPARE(secretTool({QStringLiteral("store"), QStringLiteral("--label=by hand"), QStringLiteral("service"),
                             KeychainHelper::service, QStringLiteral("account"), KeychainHelper::passwordAccount},
                            "typed by hand")
                     .exitCode,
                 0);
        LibsecretSecretStore store;
        QCOMPARE(store.findItem(KeychainHelper::service, KeychainHelper::passwordAccount), QByteArray("typed by hand"));

        QVERIFY(store.deleteItems(KeychainHelper::service));
        QCOMPARE(itemsOfTheService(), 0);
        QVERIFY(store.deleteItems(KeychainHelper::service)); // nothing left is no failure
        QCOMPARE(m_log.lines(), QStringList());
    }

    // Last: the keyring stays locked. The unlock prompt cannot be shown (the bus has no display).
    void lockedKeyringReadsAsAbsentAndSaysWhy()
    {
        LibsecretSecretStore store;
        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(QStringLiteral("alice"), QStringLiteral("secret")));
        QDBusInterface service(QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
                               QStringLiteral("org.freedesktop.Secret.Service"));
        const QDBusMessage locked = service.call(
            QStringLiteral("Lock"),
            QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")}));
        QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));
        m_log.clear();

        const Credentials credentials = keychain.loadCredentials();
        QVERIFY(!credentials.username);
        QVERIFY(!credentials.password);
        QVERIFY(!store.isAvailable());
        keychain.deleteCredentials();
        QVERIFY(!keychain.saveCredentials(QStringLiteral("bob"), QStringLiteral("other")));

        QCOMPARE(m_log.lines(), QStringList{QStringLiteral("⚠️ 无法使用系统密钥环（Secret Service）: 密钥环已锁定，无法解锁")});
        QCOMPARE(itemsOfTheService(), 2); // still there, untouched
    }
};

QTEST_GUILESS_MAIN(TestLibsecretSecretStore)
#include "tst_libsecretsecretstore.moc"
