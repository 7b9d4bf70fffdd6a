// Runs inside run-with-keyring.sh: a private session bus with an unlocked GNOME Keyring.
#include "LogCapture.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// secret-tool stands in for any other program that uses the keyring. Returns what it printed
// (`search` prints the attributes on stderr) and, on a line of its own, its exit code.
static QByteArray secretTool(const QString &commandLine, const QByteArray &input = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(u"secret-tool"_s, commandLine.split(u' '));
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished();
    return tool.readAll() + '\n' + QByteArray::number(tool.exitCode());
}

class TestLibsecretSecretStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void otherProgramsShareTheItems()
    {
        LogCapture log;
        // secret-tool stores under a schema name of its own; the attributes alone must match.
        QCOMPARE(secretTool(u"store --label=by-hand service com.netlatch.credentials account password"_s,
                            "by hand"),
                 "\n0");
        LibsecretSecretStore store;
        QCOMPARE(store.findItem(KeychainHelper::service, u"password"_s), "by hand");

        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(u"张三"_s, u"密码 🔐"_s));
        const QString search = u"search --all service com.netlatch.credentials"_s;
        QCOMPARE(secretTool(search).count("attribute.account = "), 2); // the one by hand replaced
        QCOMPARE(secretTool(u"lookup service com.netlatch.credentials account username"_s),
                 u"张三\n0"_s.toUtf8());
        QCOMPARE(secretTool(u"lookup service com.netlatch.credentials account password"_s),
                 u"密码 🔐\n0"_s.toUtf8());
        QCOMPARE(keychain.loadCredentials().username, u"张三"_s);
        QCOMPARE(keychain.loadCredentials().password, u"密码 🔐"_s);

        keychain.deleteCredentials(); // every item of the service
        QCOMPARE(secretTool(search), "\n0");
        QVERIFY(!keychain.loadCredentials().username);
        QCOMPARE(log.lines(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestLibsecretSecretStore)
#include "tst_libsecretsecretstore.moc"
