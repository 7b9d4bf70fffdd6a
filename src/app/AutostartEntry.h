#pragma once

#include <QString>

/// Starting the tray application at log-in: an XDG autostart entry in the user's own autostart
/// folder ($XDG_CONFIG_HOME/autostart), never the system one. Its presence is the switch's state.
class AutostartEntry
{
public:
    /// `directory` defaults to the user's autostart folder.
    explicit AutostartEntry(QString directory = defaultDirectory());

    bool isEnabled() const;
    /// Writes or removes the entry; false (with a log line) when the folder cannot be written.
    bool setEnabled(bool enabled);

    QString filePath() const;
    static QString defaultDirectory();

private:
    QString m_directory;
};
