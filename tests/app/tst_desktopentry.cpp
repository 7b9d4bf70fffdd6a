#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QString appId = u"app.netlatch.Netlatch"_s;

QString readEntry()
{
    QFile file(qEnvironmentVariable("NETLATCH_SOURCE_DIR") + u"/data/%1.desktop"_s.arg(appId));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every value of `key` in the entry, in order (the main group's first, then each action's).
QStringList desktopKeys(const QString &entry, const QString &key)
{
    QStringList values;
    const QRegularExpression line(u"^%1=(.*)$"_s.arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch &match : line.globalMatch(entry))
        values << match.captured(1);
    return values;
}
} // namespace

/// The application menu entry must name the program, its window class and its icon, or desktops show
/// a second icon, no icon, or start nothing; its actions must reach the running instance. (CI's
/// scripts/check-package.sh validates the installed entry and the AppStream metadata.)
class TestDesktopEntry : public QObject
{
    Q_OBJECT

    const QString m_entry = readEntry();

private Q_SLOTS:
    void entryNamesTheProgramAndItsIcon()
    {
        QCOMPARE(desktopKeys(m_entry, u"Exec"_s).value(0), QStringLiteral(NETLATCH_PROGRAM_NAME));
        // Qt names X11 windows after the program file (WM_CLASS instance); GNOME matches them by it.
        QCOMPARE(desktopKeys(m_entry, u"StartupWMClass"_s), QStringList{QStringLiteral(NETLATCH_PROGRAM_NAME)});
        QCOMPARE(desktopKeys(m_entry, u"Icon"_s), QStringList{appId});
    }

    // The program claims the desktop-file id on the session bus; each action of the entry, launched as
    // the desktop launches it, reaches that instance and ends at once; so does "quit", which ends it.
    void actionsReachTheRunningInstance()
    {
#ifndef NETLATCH_PROGRAM
        QSKIP("this build has no tray application (target netlatch)");
#else
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        QVERIFY(bus);
        QVERIFY2(!bus->isServiceRegistered(appId), "another netlatch already runs on this bus");
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QString::fromLatin1(variable), home.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const auto launch = [&](QProcess &process, QStringList arguments) {
            process.setProcessEnvironment(environment);
            process.setProcessChannelMode(QProcess::ForwardedChannels);
            arguments.first() = QStringLiteral(NETLATCH_PROGRAM); // Exec names the installed program
            process.start(arguments.takeFirst(), arguments);
        };
        QProcess program;
        launch(program, desktopKeys(m_entry, u"Exec"_s).value(0).split(u' '));
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(appId) || program.state() == QProcess::NotRunning, 30000);
        QCOMPARE(qint64(bus->servicePid(appId).value()), program.processId());

        const QStringList actions = desktopKeys(m_entry, u"Exec"_s).mid(1);
        QCOMPARE(actions, (QStringList{u"netlatch --action quick-login"_s, u"netlatch --action show-main-window"_s}));
        for (const QString &exec : actions + QStringList{u"netlatch --action quit"_s}) {
            QProcess action;
            launch(action, exec.split(u' '));
            QVERIFY(action.waitForFinished(30000));
            QCOMPARE(action.exitCode(), 0);
        }
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit); // nothing it tears down uses what is gone
        QCOMPARE(program.exitCode(), 0);
#endif
    }
};

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_desktopentry.moc"
