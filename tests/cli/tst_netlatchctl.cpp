// netlatchctl as a user runs it, inside run-with-keyring.sh: the account in a real, private GNOME
// Keyring, a sign-in with it at the build's loopback portal and statistics server, the auto-login
// daemon, and the shell completions.
#include "BuildPortal.h"
#include "Netlatchctl.h"
#include "store/KeychainHelper.h"

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {
// Characters that a careless encoder or logger would mangle or reveal.
const QString password = QStringLiteral("s3cret&=+% 密码");
const QStringList setZhang{"account", "set", "--username", "张三", "--password-stdin"};

// The name and the password in the keyring, read with the desktop's own tool.
QStringList storedAccount()
{
    const QStringList lookup{"lookup", "service", KeychainHelper::service, "account"};
    return {runProgram("secret-tool", lookup + QStringList{"username"}).out,
            runProgram("secret-tool", lookup + QStringList{"password"}).out};
}
// The dynamic loader names on stderr every library it maps. Only what reaches a D-Bus service loads
// D-Bus and the Secret Service, from the desktop plugin.
QProcessEnvironment tracingLoader()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_DEBUG", "files");
    return environment;
}
const char *const desktopLibraries[] = {"netlatch-linux-desktop.so", "file=libQt6DBus.so",
                                        "file=libsecret-1.so", "file=libdbus-1.so"};
} // namespace

class TestNetlatchctl : public QObject
{
    Q_OBJECT

    BuildPortal m_portal{"张三", password.toStdString()};
    LocalHttpServer m_statistics;
    bool m_serving = false;
    std::atomic<int> m_uploads = 0;
    QStringList m_outputs; // everything netlatchctl printed
    QTemporaryDir m_dir;

    ProgramRun ctl(const QStringList &arguments, const QByteArray &input = {},
                   const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        const ProgramRun run = runNetlatchctl(arguments, input, environment);
        m_outputs << run.out << run.err;
        return run;
    }

    static QSet<QString> words(const QString &text)
    {
        const QStringList list = text.split(QRegularExpression(u"\\s+"_s), Qt::SkipEmptyParts);
        return {list.begin(), list.end()};
    }

    QString script(const QString &shell)
    {
        QFile file(m_dir.filePath(shell));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(runNetlatchctl({"completion", shell}).out.toUtf8()) > 0;
        return written ? file.fileName() : QString();
    }

    // `login` with an account it cannot use: it ends with `exitCode`, says `why`, and sends nothing.
    void expectLoginRefused(int exitCode, const QStringList &why)
    {
        const int requests = m_portal.requests;
        const ProgramRun login = ctl({"login"});
        QCOMPARE(login.exitCode, exitCode);
        QVERIFY2(login.out.isEmpty(), qPrintable(login.out));
        for (const QString &part : why)
            QVERIFY2(login.err.contains(part), qPrintable(login.err));
        QCOMPARE(m_portal.requests.load(), requests);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // No system bus: the daemon sees no Wi-Fi and no sleep events of this machine.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent");
        m_statistics.server().Post("/api/record-login.php", [this](const auto &, auto &) { ++m_uploads; });
        m_serving = m_portal.start() && m_statistics.start(buildPort(BuildConfig::statsApiBase));
    }

    void init() { QCOMPARE(ctl({"account", "clear"}).exitCode, 0); }

    void accountSetShowAndClear()
    {
        QCOMPARE(ctl(setZhang, password.toUtf8() + '\n').exitCode, 0);
        QCOMPARE(storedAccount(), (QStringList{"张三", password})); // without the line ending
        const ProgramRun show = ctl({"account", "show"});
        QCOMPARE(QString(show.out + show.err), QStringLiteral("Account name: 张三\nPassword:     stored\n"));
        QCOMPARE(ctl({"account", "clear"}).exitCode, 0);
        const ProgramRun none = ctl({"account", "show"}, {}, tracingLoader());
        QCOMPARE(none.out, QStringLiteral("Account name: (none)\nPassword:     not stored\n"));
        for (const char *library : desktopLibraries)
            QVERIFY2(none.err.contains(QLatin1String(library)), library);

        // Without --username both come as piped lines, whatever their line ending.
        QCOMPARE(ctl({"account", "set", "--password-stdin"}, "alice\r\nsecret\r\n").exitCode, 0);
        QCOMPARE(storedAccount(), (QStringList{"alice", "secret"}));
    }

    void refusedAccountKeepsTheStoredOne_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        const QString empty = QStringLiteral("must not be empty");
        const QStringList emptyName{"account", "set", "--username=", "--password-stdin"};
        QTest::newRow("empty name") << emptyName << QByteArray("pw\n") << empty;
        QTest::newRow("empty password line") << setZhang << QByteArray("\n") << empty;
        // A pipe meant for something else must not become the password.
        QTest::newRow("no --password-stdin")
            << setZhang.mid(0, 4) << QByteArray("pw\n") << "--password-stdin";
    }

    void refusedAccountKeepsTheStoredOne()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        QCOMPARE(ctl({"account", "set", "--username", "kept", "--password-stdin"}, "kept-secret\n").exitCode,
                 0);
        const ProgramRun run = ctl(arguments, input);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(storedAccount(), (QStringList{"kept", "kept-secret"}));
    }

    void terminalDoesNotEchoThePassword()
    {
        QProcess terminal; // script runs the command on a pseudo-terminal of its own
        terminal.start("script", {"-qec", "'" NETLATCHCTL_PATH "' account set --username=bob", "/dev/null"});
        QByteArray seen;
        while (!seen.contains("Password: ") && terminal.waitForReadyRead(30000))
            seen += terminal.readAllStandardOutput();
        terminal.write("hunter2\n");
        terminal.closeWriteChannel();
        QVERIFY(terminal.waitForFinished(30000));
        seen += terminal.readAllStandardOutput();
        QCOMPARE(terminal.exitCode(), 0);
        QVERIFY2(seen.contains("Password: ") && !seen.contains("hunter2"), seen.constData());
        QCOMPARE(storedAccount(), (QStringList{"bob", "hunter2"}));
    }

    // Sign in with the stored account; an incomplete account is refused.
    void signInWithTheStoredAccount()
    {
        if (!m_serving)
            QSKIP("the build's loopback portal or statistics port is taken");
        QCOMPARE(ctl(setZhang, password.toUtf8() + '\n').exitCode, 0);
        QCOMPARE(ctl({"login", "--verbose"}).exitCode, 0);
        QCOMPARE(m_uploads.load(), 1); // the process waited for its one upload before it exited

        // The name without its password, as a half-failed save leaves it.
        const QStringList passwordItem{"clear", "service", KeychainHelper::service, "account", "password"};
        QCOMPARE(runProgram("secret-tool", passwordItem).exitCode, 0);
        QVERIFY(ctl({"account", "show"}).out.contains("incomplete"));
        expectLoginRefused(2, {"netlatchctl account set"});
        QCOMPARE(m_uploads.load(), 1);
    }

    // An account given on the command line: the name, and the password as one line of stdin (its ending
    // no part of it). A usage error sends nothing, and none of it loads the desktop's libraries.
    void signInWithAGivenAccount_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        const QStringList login{"login", "--username", "张三", "--password-stdin"};
        const QByteArray line = password.toUtf8() + "\r\n";
        QTest::newRow("signed in") << login + QStringList{"--verbose"} << line << 0 << "正在连接服务器...\n✓ 登录成功！\n";
        QTest::newRow("refused") << login << "wrong\n"_ba << 1 << "正在连接服务器...\n用户名或密码错误\n";
        QTest::newRow("no --username") << login.mid(3) << line << 2 << "";
        QTest::newRow("name ''") << QStringList{"login", "--username=", "--password-stdin"} << line << 2 << "";
        QTest::newRow("no --password-stdin") << login.mid(0, 3) << line << 2 << "";
        QTest::newRow("empty password") << login << "\r\n"_ba << 2 << "";
        // Bytes that are not UTF-8 would otherwise reach the portal mangled into U+FFFD.
        QTest::newRow("password not UTF-8") << login << "p\xff\xfe\n"_ba << 2 << "";
        // A line is read up to 4 KiB and no further: one without end must not fill the memory.
        QTest::newRow("password of 4 KiB") << login << QByteArray(4096, 'p') + "\r\n" << 1 << "正在连接服务器...\n用户名或密码错误\n";
        QTest::newRow("password over 4 KiB") << login << QByteArray(4097, 'p') + '\n' << 2 << "";
        QTest::newRow("stray argument") << QStringList{"login", "extra"} + login.mid(1) << line << 2 << "";
    }

    void signInWithAGivenAccount()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        if (!m_serving)
            QSKIP("the build's loopback portal or statistics port is taken");
        const int forms = m_portal.forms;
        const ProgramRun run = ctl(arguments, input, tracingLoader());
        QCOMPARE(run.exitCode, exitCode);
        QTEST(run.out, "out");
        for (const char *library : desktopLibraries)
            QVERIFY2(!run.err.contains(QLatin1String(library)), library);
        QCOMPARE(m_portal.forms - forms, exitCode == 2 ? 0 : 1);
    }

    // A name whose bytes are not UTF-8, as a shell passes them ($0 is netlatchctl).
    void aNameThatIsNotUtf8IsRefused()
    {
        const ProgramRun run = runProgram(
            "sh", {"-c", "exec \"$0\" login --username \"$(printf 'al\\351ice')\" --password-stdin", NETLATCHCTL_PATH}, "pw\n");
        QVERIFY2(run.exitCode == 2 && run.err.contains("not UTF-8"), qPrintable(run.err));
    }

    void daemonRunsOnlyWhenSwitchedOnAndOnlyOnce()
    {
        QCOMPARE(ctl({"autologin", "off"}).exitCode, 0);
        const ProgramRun off = ctl({"daemon"});
        QCOMPARE(off.exitCode, 78);
        QVERIFY2(off.err.contains("switched off") && off.err.contains("netlatchctl autologin on"),
                 qPrintable(off.err));

        QCOMPARE(ctl({"autologin", "on"}).exitCode, 0);
        QProcess first;
        QString err;
        connect(&first, &QProcess::readyReadStandardError, [&] { err += first.readAllStandardError(); });
        const auto logged = [&](const QString &line) {
            return QTest::qWaitFor([&] { return err.contains(line); }, 30000);
        };
        first.start(NETLATCHCTL_PATH, {"daemon", "--verbose"});
        QVERIFY2(logged("✅ 自动联网监听已启动"), qPrintable(err));
        const ProgramRun second = ctl({"daemon"});
        QCOMPARE(second.exitCode, 75);
        const QString pid = QString::number(first.processId());
        QVERIFY2(second.err.contains("already running for this user (PID " + pid + ")"),
                 qPrintable(second.err));

        // The running daemon follows the stored switch and ends cleanly on SIGTERM.
        QCOMPARE(ctl({"autologin", "off"}).exitCode, 0);
        QVERIFY2(logged("✅ 自动联网已禁用"), qPrintable(err));
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(30000) && first.exitStatus() == QProcess::NormalExit);
        err += first.readAllStandardError();
        QCOMPARE(first.exitCode(), 0);
        QVERIFY2(err.trimmed().endsWith("✅ 自动联网监听已停止"), qPrintable(err));
    }

    // The password lives in the keyring and in the request to the portal, and nowhere else.
    void thePasswordLeaksIntoNoOutputAndNoFile()
    {
        // As typed, as the form body encodes it, and its plain part.
        const QByteArrayList forms{password.toUtf8(), QUrl::toPercentEncoding(password), "s3cret"};
        const QByteArray printed = m_outputs.join('\n').toUtf8();
        QStringList roots;
        for (const char *root : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            roots << qEnvironmentVariable(root);
        const QStringList grep{"--recursive", "--files-with-matches", "--devices=skip", "--fixed-strings"};
        QCOMPARE(runProgram("grep", grep + QStringList{"autoLoginEnabled"} + roots).exitCode, 0); // searched
        for (const QByteArray &form : forms) {
            QVERIFY2(!printed.contains(form), printed.constData());
            const ProgramRun found = runProgram("grep", grep + QStringList{QString::fromUtf8(form)} + roots);
            QVERIFY2(found.exitCode == 1, qPrintable(found.out + found.err)); // 1: in no file
        }
    }

    // The shell completions offer exactly what the commands' --help shows: the commands, each command's
    // arguments word by word, and its options. bash and fish complete for real; zsh's script is parsed.
    void completionsFollowTheHelp()
    {
        const QString bash = script(u"bash"_s), fish = script(u"fish"_s), zsh = script(u"zsh"_s);
        QCOMPARE(runProgram(u"zsh"_s, {u"-n"_s, zsh}).exitCode, 0);
        const QString zshText = runNetlatchctl({"completion", "zsh"}).out;
        // What may follow each typed line, and the options of its command, as --help shows them.
        QMap<QString, QSet<QString>> next, options{{QString(), {"-h", "--help", "-v", "--version"}}};
        const QString commands = runNetlatchctl({"--help"}).out.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
        static const QRegularExpression usage(u"^(?:Usage:)? +netlatchctl \\S+(.*?)(?: \\[options\\])?$"_s,
                                              QRegularExpression::MultilineOption);
        static const QRegularExpression option(u"(?:^  |, )(--?[\\w-]+)"_s, QRegularExpression::MultilineOption);
        for (const QString &line : commands.split(u'\n')) {
            if (line.at(2).isSpace()) // a summary's wrapped part
                continue;
            const QString command = line.simplified().section(u' ', 0, 0);
            next[QString()] << command;
            next[command];
            const QString help = runNetlatchctl({command, "--help"}).out;
            for (auto match = usage.globalMatch(help); match.hasNext();) {
                QString typed = command;
                for (const QString &token : match.next().captured(1).split(u' ', Qt::SkipEmptyParts)) {
                    const QStringList alternatives = token.split(u'|');
                    next[typed] += QSet<QString>(alternatives.begin(), alternatives.end());
                    typed += u' ' + alternatives.first();
                }
            }
            for (auto match = option.globalMatch(help.section(u"Options:\n"_s, 1)); match.hasNext();)
                options[command] << match.next().captured(1);
        }
        QVERIFY(next.value(u"autologin wired"_s) == (QSet<QString>{"on", "off"}));
        for (auto it = next.cbegin(); it != next.cend(); ++it) {
            const QString line = u"netlatchctl "_s + (it.key().isEmpty() ? QString() : it.key() + u' ');
            const QSet<QString> commandOptions = options.value(it.key().section(u' ', 0, 0));
            const QString bashCall = u"source \"$0\"; read -ra COMP_WORDS <<< \"$1\"; COMP_WORDS+=(''); "
                                     "COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 )); _netlatchctl; printf '%s\\n' \"${COMPREPLY[@]}\""_s;
            QCOMPARE(words(runProgram(u"bash"_s, {u"-c"_s, bashCall, bash, line}).out), it.value() + commandOptions);
            const QString fishCall = u"source $argv[1]; complete -C $argv[2] | string replace -r '\\t.*' ''"_s;
            QCOMPARE(words(runProgram(u"fish"_s, {u"--no-config"_s, u"-c"_s, fishCall, fish, line}).out),
                     it.value());
            for (const QString &word : it.value() + commandOptions) // zsh is not driven; it names them all
                QVERIFY2(zshText.contains(word), qPrintable(word));
        }
    }

    // Last: the keyring stays locked, and its unlock prompt cannot be shown (the bus has no display).
    // A keyring that cannot be read is a failure, as `account` reports it, not a missing account.
    void aLockedKeyringFailsTheSignIn()
    {
        QCOMPARE(ctl(setZhang, password.toUtf8() + '\n').exitCode, 0);
        QDBusInterface service("org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service");
        const QDBusMessage locked = service.call(
            "Lock", QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/freedesktop/secrets/collection/login")}));
        QVERIFY2(locked.type() == QDBusMessage::ReplyMessage, qPrintable(locked.errorMessage()));
        expectLoginRefused(1, {"could not read the keyring", "did not answer or is locked"});
        QCOMPARE(ctl({"account", "show"}).exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(TestNetlatchctl)
#include "tst_netlatchctl.moc"
