#include "app/AutostartEntry.h"

#include "common/Log.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
const QString fileName = QStringLiteral("app.netlatch.Netlatch.desktop");
const QByteArray entry = "[Desktop Entry]\n"
                         "Type=Application\n"
                         "Name=Netlatch\n"
                         "Comment=Signs in to the campus network\n"
                         "Exec=netlatch\n"
                         "Icon=app.netlatch.Netlatch\n"
                         "Terminal=false\n"
                         "X-GNOME-Autostart-enabled=true\n"
                         "X-KDE-autostart-after=panel\n"
                         "X-LXQt-Need-Tray=true\n";
} // namespace

AutostartEntry::AutostartEntry(QString directory) : m_directory(std::move(directory)) {}

QString AutostartEntry::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + QStringLiteral("/autostart");
}

QString AutostartEntry::filePath() const
{
    return m_directory + QLatin1Char('/') + fileName;
}

bool AutostartEntry::isEnabled() const
{
    return QFile::exists(filePath());
}

bool AutostartEntry::setEnabled(bool enabled)
{
    if (!enabled) {
        if (!QFile::exists(filePath()) || QFile::remove(filePath()))
            return true;
        Log::write(QStringLiteral("⚠️ 无法删除开机启动项: ") + filePath());
        return false;
    }
    QSaveFile file(filePath());
    if (QDir().mkpath(m_directory) && file.open(QIODevice::WriteOnly) && file.write(entry) == entry.size()
        && file.commit())
        return true;
    Log::write(QStringLiteral("⚠️ 无法写入开机启动项: ") + filePath());
    return false;
}
