#pragma once

#include <QString>

#include <optional>

/// The texts of the auto-login engine's once-a-second status line in the system log.
class AutoLoginStatusLine
{
public:
    /// A pending check `seconds` (whole, already truncated) away: "2", or from a minute on "1分15".
    static QString remainingTime(qint64 seconds);

    /// The countdown form, while a check is pending.
    static QString countdown(const QString &reason, qint64 seconds);

    /// The pending check's time has come; its scheduled run reports the check itself.
    static QString due();

    /// The listening form, from the cached status: the SSID (absent reads "未知"), whether it is a
    /// campus network, whether the internet was reachable.
    static QString listening(const std::optional<QString> &ssid, bool isSchoolWiFi, bool hasNetwork);
};
