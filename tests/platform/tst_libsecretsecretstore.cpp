// Runs inside run-with-keyring.sh: a private session bus with an unlocked GNOME Keyring.
#include "LogCapture.h"
#include "platform/linux/LibsecretSecretStore.h"
#include "store/KeychainHelper.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using Status = SecretStore::Status;

namespace {
const QString service = KeychainHelper::service;
const SecretStore::Items account{{u"username"_s, "alice"}, {u"password"_s, "secret"}};

// secret-tool stands in for any other program that uses the keyring. Returns what it printed
// (`search` prints the attributes on stderr) and, on a line of its own, its exit code.
QByteArray secretTool(const QString &commandLine, const QByteArray &input = {})
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(u"secret-tool"_s, commandLine.split(u' '));
    tool.write(input);
    tool.closeWriteChannel();
    tool.waitForFinished();
    return tool.readAll() + '\n' + QByteArray::number(tool.exitCode());
}

int storedItems()
{
    return int(secretTool(u"search --all service com.netlatch.credentials"_s).count("attribute.account = "));
}

// One operation's answer, with how many times the event loop turned (a 10 ms timer) while it was awaited.
struct Answer
{
    SecretStore::Result result;
    SecretStore::Items items;
    int turns = 0;
};

Answer await(const std::function<void(SecretStore::ReadHandler)> &start, int timeoutMs = 60000)
{
    Answer answer;
    bool answered = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++answer.turns; });
    ticker.start(10);
    start([&](const SecretStore::Result &result, const SecretStore::Items &items) {
        answer.result = result;
        answer.items = items;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, timeoutMs))
        answer.result = {Status::Unavailable, u"(the test stopped waiting)"_s};
    return answer;
}

Answer read(SecretStore &store)
{
    return await([&](auto done) { store.readItems(service, nullptr, done); });
}

Answer replace(SecretStore &store, const SecretStore::Items &items, int timeoutMs = 60000)
{
    return await([&](auto done) {
        store.replaceItems(service, items, nullptr, [done](const SecretStore::Result &result) { done(result, {}); });
    }, timeoutMs);
}
} // namespace

class TestLibsecretSecretStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void otherProgramsShareTheItems()
    {
        LogCapture log;
        // secret-tool stores under a schema name of its own; the attributes alone must match.
        QCOMPARE(secretTool(u"store --label=by-hand service com.netlatch.credentials account password"_s, "by hand"),
                 "\n0");
        LibsecretSecretStore store;
        QCOMPARE(read(store).items.value(u"password"_s), "by hand");

        QCOMPARE(replace(store, {{u"username"_s, u"张三"_s.toUtf8()}, {u"password"_s, u"密码 🔐"_s.toUtf8()}}).result.status,
                 Status::Done);
        QCOMPARE(storedItems(), 2); // the one by hand replaced
        QCOMPARE(secretTool(u"lookup service com.netlatch.credentials account username"_s), u"张三\n0"_s.toUtf8());
        QCOMPARE(read(store).items.value(u"password"_s), u"密码 🔐"_s.toUtf8());

        QCOMPARE(replace(store, {}).result.status, Status::Done); // every item of the service
        QCOMPARE(storedItems(), 0);
        QCOMPARE(log.lines(), QStringList());
    }

    // A keyring process that stops answering (SIGSTOP) costs an operation one time limit and one log
    // line, and the event loop keeps turning while it is awaited.
    void aStoppedKeyringCostsOneLimitWithoutBlocking()
    {
        const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(u"org.freedesktop.secrets"_s);
        QVERIFY(pid.isValid());
        LibsecretSecretStore store(1000ms);
        QCOMPARE(replace(store, account).result.status, Status::Done);
        LogCapture log;
        ::kill(pid_t(pid.value()), SIGSTOP);
        auto resume = qScopeGuard([&] { ::kill(pid_t(pid.value()), SIGCONT); });
        const Answer answer = replace(store, {{u"username"_s, "bob"}}, 5000);
        resume.dismiss();
        ::kill(pid_t(pid.value()), SIGCONT);
        QCOMPARE(answer.result.status, Status::Unavailable);
        QCOMPARE(answer.result.problem, u"1秒内没有响应"_s);
        QCOMPARE(log.lines(), QStringList{u"⚠️ 无法使用系统密钥环（Secret Service）: 1秒内没有响应"_s});
        QVERIFY2(answer.turns > 10, qPrintable(QString::number(answer.turns)));
        QTRY_COMPARE_WITH_TIMEOUT(read(store).items, account, 30000); // answering again, nothing replaced
    }

    // The collection locked: gcr's prompter shows the unlock prompt and the operation waits for the
    // person, well past the store's time limit, until they cancel. The account reads as locked (not
    // absent), a save replaces nothing, and one prompt serves an operation.
    void aLockedKeyringIsLockedNotEmpty()
    {
        const QByteArray x = qgetenv("DISPLAY");
        if (x.isEmpty() || QStandardPaths::findExecutable(u"xdotool"_s).isEmpty() ||
            !QFile::exists(u"/usr/libexec/gcr-prompter"_s))
            QSKIP("needs an X server, xdotool and gcr's prompter (gcr)");
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QDBusInterface bus(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s);
        bus.call(u"UpdateActivationEnvironment"_s,
                 QVariant::fromValue(QMap<QString, QString>{{u"DISPLAY"_s, QString::fromLocal8Bit(x)}}));
        LibsecretSecretStore store(500ms);
        QCOMPARE(replace(store, account).result.status, Status::Done);
        const QDBusMessage locked =
            QDBusInterface(u"org.freedesktop.secrets"_s, u"/org/freedesktop/secrets"_s, u"org.freedesktop.Secret.Service"_s)
                .call(u"Lock"_s, QVariant::fromValue(QList<QDBusObjectPath>{
                                     QDBusObjectPath("/org/freedesktop/secrets/collection/login")}));
        QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));

        int prompts = 0;
        QTimer canceller; // the person: cancels each prompt window a second after it shows
        connect(&canceller, &QTimer::timeout, this, [&] {
            QProcess xdotool;
            xdotool.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--class"_s, u"gcr-prompter"_s});
            xdotool.waitForFinished();
            const QByteArray windows = xdotool.readAllStandardOutput().trimmed();
            if (windows.isEmpty())
                return;
            ++prompts;
            QTest::qWait(1000);
            // Typed as a person would (XTEST): a toolkit ignores keys sent to a window directly.
            QProcess::execute(u"xdotool"_s, {u"windowfocus"_s, u"--sync"_s, QString::fromLatin1(windows.split('\n').first()),
                                             u"key"_s, u"Escape"_s});
        });
        canceller.start(200);
        LogCapture log;
        const Answer answer = read(store);
        QCOMPARE(answer.result.status, Status::Locked);
        QVERIFY(answer.items.isEmpty());
        QCOMPARE(replace(store, {{u"username"_s, "bob"}}).result.status, Status::Locked);
        QCOMPARE(storedItems(), 2);
        QCOMPARE(prompts, 2);
        // Waited for the person, and the event loop went on meanwhile.
        QVERIFY2(answer.turns > 50, qPrintable(QString::number(answer.turns)));
        QCOMPARE(log.lines(), QStringList{u"⚠️ 无法使用系统密钥环（Secret Service）: 密钥环已锁定，无法解锁"_s});
    }
};

QTEST_GUILESS_MAIN(TestLibsecretSecretStore)
#include "tst_libsecretsecretstore.moc"
