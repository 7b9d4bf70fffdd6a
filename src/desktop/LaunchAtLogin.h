#pragma once

/// Starting the tray application when the user logs in: the "登录时启动" switch. The platform keeps
/// the choice (on Linux an XDG autostart entry), so it is read back each time rather than cached.
class LaunchAtLogin
{
public:
    virtual ~LaunchAtLogin() = default;

    virtual bool isEnabled() const = 0;
    /// False (with a log line) when the choice could not be written.
    virtual bool setEnabled(bool enabled) = 0;
};
