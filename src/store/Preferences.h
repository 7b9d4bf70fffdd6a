#pragma once

#include "common/SharedInstance.h"

#include <QByteArray>
#include <QMutex>
#include <QSettings>
#include <QString>

#include <array>
#include <memory>
#include <optional>

/// The value types of the preference store. An absent boolean reads as false; an absent text or
/// data value reads as absent and its reader supplies the default.
enum class PreferenceType { Boolean, Text, Data };

struct PreferenceKey
{
    const char *name;
    PreferenceType type;
};

/// Every key the program remembers between runs, with its type. The account is never stored here.
namespace PreferenceKeys {
inline constexpr PreferenceKey autoLoginEnabled{"autoLoginEnabled", PreferenceType::Boolean};
/// Sign in again when the portal drops the session while automatic sign-in is on (default true).
inline constexpr PreferenceKey autoReconnect{"autoReconnect", PreferenceType::Boolean};
inline constexpr PreferenceKey skipWiFiCheckForAutoLogin{"skipWiFiCheckForAutoLogin", PreferenceType::Boolean};
inline constexpr PreferenceKey hideDockIcon{"hideDockIcon", PreferenceType::Boolean};
inline constexpr PreferenceKey hasShownWelcome{"hasShownWelcome", PreferenceType::Boolean};
inline constexpr PreferenceKey hasSetupCredentials{"hasSetupCredentials", PreferenceType::Boolean};
inline constexpr PreferenceKey lastShownVersion{"lastShownVersion", PreferenceType::Text};
inline constexpr PreferenceKey quickLoginShortcut{"quickLoginShortcut", PreferenceType::Data};
inline constexpr PreferenceKey showWindowShortcut{"showWindowShortcut", PreferenceType::Data};
/// Where earlier versions kept the sign-in history and its one backup; it now has a data file of its
/// own, and these values are moved there once.
inline constexpr PreferenceKey loginRecords{"com.netlatch.loginRecords", PreferenceType::Data};
inline constexpr PreferenceKey loginRecordsBackup{"com.netlatch.loginRecords.unreadable", PreferenceType::Data};

inline constexpr std::array all{autoLoginEnabled,   autoReconnect, skipWiFiCheckForAutoLogin, hideDockIcon,
                                hasShownWelcome,    hasSetupCredentials,       lastShownVersion,
                                quickLoginShortcut, showWindowShortcut,        loginRecords,
                                loginRecordsBackup};

/// What "lastShownVersion" reads as when it was never written.
inline const QString defaultLastShownVersion = QStringLiteral("1.0");
} // namespace PreferenceKeys

/// The user's preference store over QSettings in its native format (an INI file under
/// $XDG_CONFIG_HOME/Netlatch on Linux). Every write is visible to every later read in the process.
/// A value of the wrong type reads as the reader's empty default. Safe to call from any thread.
class Preferences : public SharedInstance<Preferences>
{
public:
    /// The settings of the signed-in desktop user.
    static std::unique_ptr<QSettings> userSettings();

    explicit Preferences(std::unique_ptr<QSettings> settings);

    // The six operations of the store.
    bool boolValue(const PreferenceKey &key) const;
    std::optional<QString> textValue(const PreferenceKey &key) const;
    std::optional<QByteArray> dataValue(const PreferenceKey &key) const;
    void setBool(const PreferenceKey &key, bool value);
    void setText(const PreferenceKey &key, const QString &value);
    void setData(const PreferenceKey &key, const QByteArray &value);
    void remove(const PreferenceKey &key);

    /// Whether `key` holds a value of any type.
    bool contains(const PreferenceKey &key) const;
    /// The value under `key` as the file holds it, whatever its type (for moving old values out).
    QVariant storedValue(const PreferenceKey &key) const;

    /// "autoReconnect", or true when it was never written.
    bool autoReconnect() const;

    /// "lastShownVersion", or "1.0" when it was never written.
    QString lastShownVersion() const;

    /// Forgets the first-run state so that the next start shows the whole first-run flow again.
    /// Every other key, the history included, stays.
    void resetFirstRunState();

    /// Writes pending changes to disk now (before a process exits).
    void sync();

    /// The file the store lives in.
    QString fileName() const;

private:
    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};
