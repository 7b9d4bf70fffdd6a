#include "store/Preferences.h"

#include <QMutexLocker>

namespace {
QString keyName(const PreferenceKey &key)
{
    return QString::fromLatin1(key.name);
}
} // namespace

std::unique_ptr<QSettings> Preferences::userSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Netlatch"),
                                       QStringLiteral("netlatch"));
}

Preferences::Preferences(std::unique_ptr<QSettings> settings)
    : m_settings(std::move(settings))
{
}

bool Preferences::boolValue(const PreferenceKey &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_settings->value(keyName(key));
    // The INI format keeps no types: a boolean comes back as the text "true" or "false".
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString)
        return value.toString() == QLatin1String("true");
    return false;
}

std::optional<QString> Preferences::textValue(const PreferenceKey &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_settings->value(keyName(key));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> Preferences::dataValue(const PreferenceKey &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_settings->value(keyName(key));
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void Preferences::setBool(const PreferenceKey &key, bool value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(keyName(key), value);
}

void Preferences::setText(const PreferenceKey &key, const QString &value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(keyName(key), value);
}

void Preferences::setData(const PreferenceKey &key, const QByteArray &value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(keyName(key), value);
}

void Preferences::remove(const PreferenceKey &key)
{
    QMutexLocker lock(&m_mutex);
    m_settings->remove(keyName(key));
}

bool Preferences::contains(const PreferenceKey &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(keyName(key));
}

QVariant Preferences::storedValue(const PreferenceKey &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->value(keyName(key));
}

bool Preferences::autoReconnect() const
{
    {
        QMutexLocker lock(&m_mutex);
        if (!m_settings->contains(keyName(PreferenceKeys::autoReconnect)))
            return true;
    }
    return boolValue(PreferenceKeys::autoReconnect);
}

QString Preferences::lastShownVersion() const
{
    return textValue(PreferenceKeys::lastShownVersion).value_or(PreferenceKeys::defaultLastShownVersion);
}

void Preferences::resetFirstRunState()
{
    remove(PreferenceKeys::hasShownWelcome);
    remove(PreferenceKeys::lastShownVersion);
    remove(PreferenceKeys::hasSetupCredentials);
}

void Preferences::sync()
{
    QMutexLocker lock(&m_mutex);
    m_settings->sync();
}

QString Preferences::fileName() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->fileName();
}
