#pragma once

#include <QString>

#include <optional>

/// What every automatic sign-in decision rests on, as one lookup found it.
struct NetworkStatus
{
    /// The joined Wi-Fi network; absent when no source could tell it.
    std::optional<QString> ssid;
    /// One of the campus networks (or an unreadable SSID while "skipWiFiCheckForAutoLogin" is set).
    bool campusNetwork = false;
    bool internetReachable = false;
};
