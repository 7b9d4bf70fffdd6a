#include "stats/LegacyHistoryMigration.h"

#include "common/FileLock.h"
#include "common/Log.h"
#include "stats/LoginHistoryFile.h"
#include "stats/LoginRecord.h"
#include "store/Preferences.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <optional>
#include <utility>

namespace {

const QString historyNotMovedLine = QStringLiteral("⚠️ 联网记录无法移出设置文件: ");
const QString historyMovedLine = QStringLiteral("✅ 联网记录已移到 %1");

// The bytes of a value as earlier versions stored it: data as it is, text as UTF-8, and a hand-edited
// line that the settings file reads as a list of texts (its commas) joined back together.
QByteArray storedBytes(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toUtf8();
    return value.toString().toUtf8();
}

// Whether every record of `part` is in `whole` (as often as it is in `part`).
bool containsAll(const QList<QJsonObject> &whole, const QList<QJsonObject> &part)
{
    QHash<QByteArray, int> counts;
    for (const QJsonObject &record : whole)
        ++counts[QJsonDocument(record).toJson(QJsonDocument::Compact)];
    for (const QJsonObject &record : part) {
        if (--counts[QJsonDocument(record).toJson(QJsonDocument::Compact)] < 0)
            return false;
    }
    return true;
}

} // namespace

LegacyHistoryMigration::LegacyHistoryMigration(Preferences &preferences, const LoginHistoryFile &file,
                                               KeepUnreadable keepUnreadable)
    : m_preferences(preferences), m_file(file), m_keepUnreadable(std::move(keepUnreadable))
{
}

bool LegacyHistoryMigration::isPending() const
{
    return m_preferences.contains(PreferenceKeys::loginRecords) ||
           m_preferences.contains(PreferenceKeys::loginRecordsBackup);
}

void LegacyHistoryMigration::moveAtStart()
{
    if (!isPending())
        return;
    QString error;
    const FileLock lock(m_file.lockFilePath(), LoginHistoryFile::lockPatience);
    if (!lock.isLocked() || !move(&error))
        Log::write(historyNotMovedLine + (lock.isLocked() ? error : lock.errorString()));
}

bool LegacyHistoryMigration::move(QString *error)
{
    const PreferenceKey &legacy = PreferenceKeys::loginRecords,
                        &legacyBackup = PreferenceKeys::loginRecordsBackup;
    if (!isPending())
        return true;
    m_preferences.sync(); // another process may have moved it in the meantime
    if (!isPending())
        return true;
    const QVariant stored = m_preferences.storedValue(legacy);
    const QByteArray value = storedBytes(stored);
    // A value that is not data was edited by hand: keep it as it was, even when it reads as a list.
    if (stored.isValid() && stored.typeId() != QMetaType::QByteArray && !m_keepUnreadable(value, error))
        return false;
    if (const std::optional<QList<QJsonObject>> records = LoginRecord::listFromJson(value)) {
        const std::optional<QByteArray> bytes = m_file.read(error);
        if (!bytes)
            return false;
        const std::optional<QList<QJsonObject>> inFile = LoginRecord::listFromJson(*bytes);
        if (!inFile && !bytes->trimmed().isEmpty() && !m_keepUnreadable(*bytes, error))
            return false;
        // Already in the file when an earlier move was cut off before it could clear the settings.
        const QList<QJsonObject> kept = inFile.value_or(QList<QJsonObject>());
        const QList<QJsonObject> moved = containsAll(kept, *records) ? kept : *records + kept;
        QJsonArray array;
        for (const QJsonObject &record : moved)
            array.append(record);
        if (!m_file.write(QJsonDocument(array).toJson(QJsonDocument::Compact), error))
            return false;
    } else if (stored.typeId() == QMetaType::QByteArray && !value.trimmed().isEmpty() &&
               !m_keepUnreadable(value, error)) {
        return false;
    }
    const QByteArray oldBackup = storedBytes(m_preferences.storedValue(legacyBackup));
    if (!oldBackup.isEmpty() && !m_keepUnreadable(oldBackup, error))
        return false;
    m_preferences.remove(legacy);
    m_preferences.remove(legacyBackup);
    m_preferences.sync();
    Log::write(historyMovedLine.arg(m_file.filePath()));
    return true;
}

QList<QJsonObject> LegacyHistoryMigration::records() const
{
    if (!m_preferences.contains(PreferenceKeys::loginRecords))
        return {};
    return LoginRecord::listFromJson(storedBytes(m_preferences.storedValue(PreferenceKeys::loginRecords)))
        .value_or(QList<QJsonObject>());
}
