#include "platform/AutostartEntry.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
// The desktop-file id, equal to the application's D-Bus name, so that desktops match the two.
const QString fileName = QStringLiteral("app.netlatch.Netlatch.desktop");
const QString cannotRemoveMessage = QStringLiteral("⚠️ 无法删除登录时启动项: ");
const QString cannotWriteMessage = QStringLiteral("⚠️ 无法写入登录时启动项: ");

// %1: the Exec argument, %2: the TryExec path, which lets the desktop skip the entry once the
// program has been removed.
const QString entryTemplate = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Netlatch\n"
                                             "Comment=Signs in to the campus network\n"
                                             "Comment[zh_CN]=自动登录校园网\n"
                                             "Exec=%1\n"
                                             "TryExec=%2\n"
                                             "Icon=app.netlatch.Netlatch\n"
                                             "Terminal=false\n"
                                             "X-GNOME-Autostart-enabled=true\n"
                                             "X-KDE-autostart-after=panel\n"
                                             "X-LXQt-Need-Tray=true\n");

// Lines with which desktop settings tools switch an entry off without deleting it.
const QByteArrayList switchedOffLines = {"Hidden=true", "X-GNOME-Autostart-enabled=false"};

// Characters that make an Exec argument need double quotes.
const QString reservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

// The escapes of a desktop entry's string values, applied to the whole value.
QString escapeString(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    value.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    value.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return value;
}
} // namespace

AutostartEntry::AutostartEntry(QString directory, QString program)
    : m_directory(std::move(directory)), m_program(std::move(program))
{
}

QString AutostartEntry::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + QStringLiteral("/autostart");
}

QString AutostartEntry::defaultProgram()
{
    return QCoreApplication::applicationFilePath();
}

QString AutostartEntry::filePath() const
{
    return m_directory + QLatin1Char('/') + fileName;
}

QString AutostartEntry::execArgument(const QString &program)
{
    QString argument = program;
    if (std::any_of(program.cbegin(), program.cend(),
                    [](QChar c) { return reservedCharacters.contains(c); })) {
        for (const QChar c : {QLatin1Char('\\'), QLatin1Char('"'), QLatin1Char('`'), QLatin1Char('$')})
            argument.replace(c, QStringLiteral("\\") + c);
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    }
    return escapeString(argument).replace(QLatin1Char('%'), QLatin1String("%%"));
}

QByteArray AutostartEntry::contents() const
{
    return entryTemplate.arg(execArgument(m_program), escapeString(m_program)).toUtf8();
}

bool AutostartEntry::isEnabled() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArrayList lines = file.readAll().split('\n');
    return std::none_of(lines.cbegin(), lines.cend(),
                        [](const QByteArray &line) { return switchedOffLines.contains(line.trimmed()); });
}

bool AutostartEntry::setEnabled(bool enabled)
{
    if (!enabled) {
        if (!QFile::exists(filePath()) || QFile::remove(filePath()))
            return true;
        Log::write(cannotRemoveMessage + filePath());
        return false;
    }
    const QByteArray entry = contents();
    QSaveFile file(filePath());
    if (QDir().mkpath(m_directory) && file.open(QIODevice::WriteOnly) && file.write(entry) == entry.size() &&
        file.commit())
        return true;
    Log::write(cannotWriteMessage + filePath());
    return false;
}
