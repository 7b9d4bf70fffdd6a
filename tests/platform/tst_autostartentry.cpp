#include "LogCapture.h"
#include "platform/AutostartEntry.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
// Runs a tool of the desktop; its combined output, or nothing when it is not installed.
std::optional<QString> runTool(const QString &tool, const QStringList &arguments, int &exitCode)
{
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments);
    process.waitForFinished(30000);
    exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}
} // namespace

class TestAutostartEntry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }

    // The entry starts exactly the program it names, however odd the folder it sits in (quotes, shell
    // characters, a backslash, Chinese), and desktop-file-validate accepts it.
    void entryStartsTheProgram()
    {
        const QString folderPath = m_dir.filePath(u"my \"apps\" 'a$HOME;b&c|(d)`e`*?#~<> back\\slash 程序 目录"_s);
        QVERIFY(QDir().mkpath(folderPath));
        const QString program = folderPath + u"/netlatch"_s;
        const QString marker = m_dir.filePath(u"started"_s);
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$NETLATCH_TEST_MARKER\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));

        AutostartEntry entry(folderPath + u"/autostart"_s, program);
        QVERIFY(!entry.isEnabled());
        QVERIFY(entry.setEnabled(true));

        int exitCode = -1;
        const auto validation = runTool(u"desktop-file-validate"_s, {entry.filePath()}, exitCode);
        if (!validation)
            QSKIP("desktop-file-validate is not installed (Debian: desktop-file-utils)");
        QVERIFY2(exitCode == 0 && validation->trimmed().isEmpty(), qPrintable(*validation));

        // GLib's launcher reads Exec and TryExec as GNOME and Xfce do at log-in.
        qputenv("NETLATCH_TEST_MARKER", marker.toUtf8());
        const auto launch = runTool(u"gio"_s, {u"launch"_s, entry.filePath()}, exitCode);
        if (!launch)
            QSKIP("gio is not installed (Debian: libglib2.0-bin)");
        QVERIFY2(exitCode == 0, qPrintable(*launch));
        QTRY_VERIFY(QFile::exists(marker) && QFileInfo(marker).size() > 0);
        QFile started(marker);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(started.readAll()), program);

        QVERIFY(entry.setEnabled(false));
        QVERIFY(!QFile::exists(entry.filePath()));
        QVERIFY(entry.setEnabled(false)); // already off
    }

    // Desktop settings tools (GNOME's here) switch an entry off inside the file; the switch shows it
    // off, and turning it on again writes an entry that runs.
    void switchedOffByTheDesktop()
    {
        AutostartEntry entry(m_dir.filePath(u"autostart"_s), u"/usr/bin/netlatch"_s);
        QVERIFY(entry.setEnabled(true));
        QFile file(entry.filePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray contents = file.readAll().replace("Autostart-enabled=true", "Autostart-enabled=false");
        file.resize(0);
        file.write(contents);
        file.close();
        QVERIFY(!entry.isEnabled());
        QVERIFY(entry.setEnabled(true));
        QVERIFY(entry.isEnabled());
    }

    void unwritableFolderIsReported()
    {
        QFile blocker(m_dir.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        LogCapture log;
        AutostartEntry entry(blocker.fileName() + u"/autostart"_s, u"/usr/bin/netlatch"_s);
        QVERIFY(!entry.setEnabled(true));
        QVERIFY(!entry.isEnabled());
        QCOMPARE(log.countStartingWith(u"⚠️ 无法写入登录时启动项: "_s), 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAutostartEntry)
#include "tst_autostartentry.moc"
