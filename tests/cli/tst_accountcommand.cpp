// Runs inside run-with-keyring.sh: netlatchctl talks to a real, private GNOME Keyring.
#include "store/KeychainHelper.h"

#include <QProcess>
#include <QTest>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run netlatchctl(const QStringList &arguments, const QByteArray &input = {},
                const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(NETLATCHCTL_PATH), QStringList{QStringLiteral("account")} + arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray storedField(const QString &account)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               {QStringLiteral("lookup"), QStringLiteral("service"), KeychainHelper::service, QStringLiteral("account"), account});
    tool.waitForFinished(30000);
    return tool.readAllStandardOutput();
}

// Reads what the program behind the pseudo-terminal writes until `expected` shows up or it exits.
bool readUntil(int master, QByteArray &seen, const QByteArray &expected)
{
    while (expected.isEmpty() || !seen.contains(expected)) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, 30000) <= 0)
            return false;
        char buffer[256];
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0) // EIO once the program has exited
            return expected.isEmpty();
        seen.append(buffer, count);
    }
    return true;
}

} // namespace

class TestAccountCommand : public QObject
{
    Q_OBJECT

    const QString m_name = QStringLiteral("张三");
    const QString m_password = QStringLiteral("密码 with spaces");

private Q_SLOTS:
    void init()
    {
        QCOMPARE(netlatchctl({QStringLiteral("clear")}).exitCode, 0);
    }

    void setShowAndClear()
    {
        const Run set = netlatchctl({QStringLiteral("set"), QStringLiteral("--username"), m_name,
                                     QStringLiteral("--password-stdin")},
                                    m_password.toUtf8() + '\n');
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(set.out, QStringLiteral("Saved the account \"张三\" in the keyring.\n"));
        QCOMPARE(storedField(KeychainHelper::usernameAccount), m_name.toUtf8());
        QCOMPARE(storedField(KeychainHelper::passwordAccount), m_password.toUtf8()); // no newline

        const Run show = netlatchctl({QStringLiteral("show")});
        QCOMPARE(show.exitCode, 0);
        QCOMPARE(show.out, QStringLiteral("Account name: 张三\nPassword:     stored\n"));
        QVERIFY(!show.out.contains(QStringLiteral("密码")) && !show.err.contains(QStringLiteral("密码")));

        const Run clear = netlatchctl({QStringLiteral("clear")});
        QCOMPARE(clear.exitCode, 0);
        QCOMPARE(clear.out, QStringLiteral("Removed the stored account from the keyring.\n"));
        QCOMPARE(storedField(KeychainHelper::passwordAccount), QByteArray());
        QCOMPARE(netlatchctl({QStringLiteral("show")}).out,
                 QStringLiteral("Account name: (none)\nPassword:     not stored\n"));
    }

    void nameAndPasswordAsPipedLines()
    {
        const Run set = netlatchctl({QStringLiteral("set"), QStringLiteral("--password-stdin")}, "alice\r\nsecret\r\n");
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(storedField(KeychainHelper::usernameAccount), QByteArray("alice"));
        QCOMPARE(storedField(KeychainHelper::passwordAccount), QByteArray("secret"));
    }

    void refusedInputKeepsTheStoredAccount_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QStringList withName{QStringLiteral("set"), QStringLiteral("--username"), QStringLiteral("bob"),
                                   QStringLiteral("--password-stdin")};
        const QString empty = QStringLiteral("must not be empty");
        QTest::newRow("empty name") << QStringList{QStringLiteral("set"), QStringLiteral("--username="),
                                                   QStringLiteral("--password-stdin")}
                                    << QByteArray("pw\n") << 2 << empty;
        QTest::newRow("empty password line") << withName << QByteArray("\n") << 2 << empty;
        QTest::newRow("nothing on stdin") << withName << QByteArray() << 2 << empty;
        QTest::newRow("password not UTF-8") << withName << QByteArray("\xFF\xFE\n") << 2 << QStringLiteral("UTF-8");
        QTest::newRow("pipe without --password-stdin")
            << QStringList{QStringLiteral("set"), QStringLiteral("--username"), QStringLiteral("bob")}
            << QByteArray("pw\n") << 2 << QStringLiteral("--password-stdin");
        QTest::newRow("no action") << QStringList{} << QByteArray() << 2 << QStringLiteral("set, show or clear");
        QTest::newRow("unknown action") << QStringList{QStringLiteral("list")} << QByteArray() << 2
                                        << QStringLiteral("set, show or clear");
        QTest::newRow("option of set on clear")
            << QStringList{QStringLiteral("clear"), QStringLiteral("--username"), QStringLiteral("bob")}
            << QByteArray() << 2 << QStringLiteral("belong to 'set'");
    }

    void refusedInputKeepsTheStoredAccount()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QCOMPARE(netlatchctl({QStringLiteral("set"), QStringLiteral("--username"), QStringLiteral("kept"),
                              QStringLiteral("--password-stdin")},
                             "kept-secret\n")
                     .exitCode,
                 0);

        const Run run = netlatchctl(arguments, input);

        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(storedField(KeychainHelper::usernameAccount), QByteArray("kept"));
        QCOMPARE(storedField(KeychainHelper::passwordAccount), QByteArray("kept-secret"));
    }

    void showPointsOutAnIncompleteAccount()
    {
        QProcess tool;
        tool.start(QStringLiteral("secret-tool"), {QStringLiteral("store"), QStringLiteral("--label=half"),
                                                   QStringLiteral("service"), KeychainHelper::service,
                                                   QStringLiteral("account"), KeychainHelper::usernameAccount});
        tool.write("alice");
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(30000));

        const Run show = netlatchctl({QStringLiteral("show")});
        QCOMPARE(show.exitCode, 0);
        QVERIFY(show.out.startsWith(QStringLiteral("Account name: alice\nPassword:     not stored\n")));
        QVERIFY(show.out.contains(QStringLiteral("incomplete")));
    }

    void missingSecretServiceIsNamed()
    {
        QProcessEnvironment noBus = QProcessEnvironment::systemEnvironment();
        noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/netlatch-bus"));
        const Run set = netlatchctl({QStringLiteral("set"), QStringLiteral("--username"), QStringLiteral("bob"),
                                     QStringLiteral("--password-stdin")},
                                    "pw\n", noBus);
        QCOMPARE(set.exitCode, 1);
        QVERIFY2(set.err.contains(QStringLiteral("Could not save")), qPrintable(set.err));
        QVERIFY(set.err.contains(QStringLiteral("Secret Service")));
        QVERIFY(set.err.contains(QStringLiteral("gnome-keyring-daemon")));
        QCOMPARE(netlatchctl({QStringLiteral("show")}, {}, noBus).exitCode, 1);
        QCOMPARE(netlatchctl({QStringLiteral("clear")}, {}, noBus).exitCode, 1);
    }

    void terminalDoesNotEchoThePassword()
    {
        int master = -1;
        const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
        QVERIFY(child >= 0);
        if (child == 0) {
            execl(NETLATCHCTL_PATH, NETLATCHCTL_PATH, "account", "set", static_cast<char *>(nullptr));
            _exit(127);
        }
        QByteArray seen;
        QVERIFY2(readUntil(master, seen, "Account name: "), seen.constData());
        QVERIFY(write(master, "bob\n", 4) == 4);
        QVERIFY2(readUntil(master, seen, "Password: "), seen.constData());
        QVERIFY(write(master, "hunter2\n", 8) == 8);
        QVERIFY2(readUntil(master, seen, {}), seen.constData());
        close(master);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);

        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(seen.contains("bob"));
        QVERIFY2(!seen.contains("hunter2"), seen.constData());
        QCOMPARE(storedField(KeychainHelper::passwordAccount), QByteArray("hunter2"));
    }
};

QTEST_GUILESS_MAIN(TestAccountCommand)
#include "tst_accountcommand.moc"
