// Runs inside run-with-keyring.sh: a private session bus with an unlocked GNOME Keyring.
#include "LogCapture.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <csignal>

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

    // A keyring process that stops answering (here: stopped by SIGSTOP) costs each operation one time
    // limit, not one per call: a save makes three calls and a load two.
    void aStoppedKeyringCostsOneLimitPerOperation()
    {
        const QDBusReply<uint> pid =
            QDBusConnection::sessionBus().interface()->servicePid(u"org.freedesktop.secrets"_s);
        QVERIFY(pid.isValid());
        constexpr std::chrono::milliseconds limit{2000};
        LibsecretSecretStore store(limit);
        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(u"alice"_s, u"secret"_s));

        ::kill(pid_t(pid.value()), SIGSTOP);
        auto resume = qScopeGuard([&] { ::kill(pid_t(pid.value()), SIGCONT); });
        QElapsedTimer clock;
        clock.start();
        const bool saved = keychain.saveCredentials(u"bob"_s, u"other"_s);
        const qint64 saveMs = clock.restart();
        const Credentials loaded = keychain.loadCredentials();
        const qint64 loadMs = clock.elapsed();
        resume.dismiss();
        ::kill(pid_t(pid.value()), SIGCONT);

        qInfo("a stopped keyring: save %lld ms, load %lld ms, limit %lld ms", saveMs, loadMs,
              qint64(limit.count()));
        QVERIFY(!saved && !loaded.username && !loaded.password && !store.isAvailable());
        // A bound on the number of limits spent, with a whole limit to spare, not a speed goal.
        QVERIFY(saveMs < 2 * limit.count() && loadMs < 2 * limit.count());
        QTRY_VERIFY_WITH_TIMEOUT(keychain.loadCredentials().username, 30000); // answering again
    }

    // Last: the keyring stays locked, and its unlock prompt cannot be shown (the bus has no display).
    // Such items must not read as "never stored", and a clear must not report success.
    void aLockedKeyringIsUnavailableNotEmpty()
    {
        LibsecretSecretStore store;
        KeychainHelper keychain(store);
        QVERIFY(keychain.saveCredentials(u"alice"_s, u"secret"_s));
        QDBusInterface service(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s,
                               u"org.freedesktop.Secret.Service"_s);
        const QDBusMessage locked = service.call(
            u"Lock"_s, QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")}));
        QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));

        LogCapture log;
        QVERIFY(!keychain.loadCredentials().username);
        QVERIFY(!store.isAvailable());
        QVERIFY(!store.deleteItems(KeychainHelper::service));
        QVERIFY(!keychain.saveCredentials(u"bob"_s, u"other"_s));
        QCOMPARE(log.lines(), QStringList{u"⚠️ 无法使用系统密钥环（Secret Service）: 密钥环已锁定，无法解锁"_s});
        QCOMPARE(secretTool(u"search --all service com.netlatch.credentials"_s).count("attribute.account = "), 2);
    }
};

QTEST_GUILESS_MAIN(TestLibsecretSecretStore)
#include "tst_libsecretsecretstore.moc"
