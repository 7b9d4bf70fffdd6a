#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString appId = QStringLiteral("app.netlatch.Netlatch");

QString sourcePath(const QString &relative)
{
    return qEnvironmentVariable("NETLATCH_SOURCE_DIR") + QLatin1Char('/') + relative;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString desktopKey(const QString &entry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}
} // namespace

/// The application menu entry, the icon and the AppStream metadata must name the program and the
/// D-Bus name it registers, or desktops show a second icon, no icon, or start nothing.
class TestDesktopEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_entry = readText(sourcePath(QStringLiteral("data/%1.desktop").arg(appId))); }

    void entryNamesTheProgramAndItsIcon()
    {
        QVERIFY(!m_entry.isEmpty());
        QCOMPARE(desktopKey(m_entry, QStringLiteral("Exec")), QStringLiteral(NETLATCH_PROGRAM_NAME));
        // Qt names X11 windows after the program file (WM_CLASS instance); GNOME matches them by it.
        QCOMPARE(desktopKey(m_entry, QStringLiteral("StartupWMClass")),
                 QStringLiteral(NETLATCH_PROGRAM_NAME));
        const QString icon = desktopKey(m_entry, QStringLiteral("Icon"));
        QCOMPARE(icon, appId);
        QVERIFY(QFile::exists(sourcePath(QStringLiteral("data/icons/%1-symbolic.svg").arg(icon))));

        const QString metainfo = readText(sourcePath(QStringLiteral("data/%1.metainfo.xml.in").arg(appId)));
        QVERIFY(metainfo.contains(QStringLiteral("<id>%1</id>").arg(appId)));
        QVERIFY(metainfo.contains(
            QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(appId)));
        QVERIFY(metainfo.contains(
            QStringLiteral("<binary>%1</binary>").arg(QStringLiteral(NETLATCH_PROGRAM_NAME))));

        if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
            QSKIP("desktop-file-validate is not installed (Debian: desktop-file-utils)");
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"),
                       {sourcePath(QStringLiteral("data/%1.desktop").arg(appId))});
        QVERIFY(validate.waitForFinished(30000));
        const QByteArray output = validate.readAll();
        QVERIFY2(validate.exitCode() == 0 && output.isEmpty(), output.constData());
    }

    // The program claims the desktop-file id as its name on the session bus.
    void programRegistersTheDesktopFileId()
    {
#ifndef NETLATCH_PROGRAM
        QSKIP("this build has no tray application (target netlatch)");
#else
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        QVERIFY(bus);
        QVERIFY2(!bus->isServiceRegistered(appId), "another netlatch already runs on this bus");
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *variable :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            environment.insert(QString::fromLatin1(variable), home.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QStringLiteral(NETLATCH_PROGRAM), QStringList());
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(bus->isServiceRegistered(appId) || program.state() == QProcess::NotRunning,
                                 30000);
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(qint64(bus->servicePid(appId).value()), program.processId());
        program.terminate();
        QVERIFY(program.waitForFinished(30000));
#endif
    }

private:
    QString m_entry;
};

QTEST_GUILESS_MAIN(TestDesktopEntry)
#include "tst_desktopentry.moc"
