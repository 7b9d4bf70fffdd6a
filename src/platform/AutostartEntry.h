#pragma once

#include "desktop/LaunchAtLogin.h"

#include <QString>

/// Starting the tray application at log-in: an XDG autostart entry in the user's own autostart
/// folder ($XDG_CONFIG_HOME/autostart), never the system one. The switch is on while the entry exists
/// and the desktop has not been told to skip it (Hidden=true or X-GNOME-Autostart-enabled=false, which
/// desktop settings tools write into the same file).
class AutostartEntry : public LaunchAtLogin
{
public:
    /// `directory` defaults to the user's autostart folder; `program` is the absolute path the entry
    /// starts and defaults to the running program's own.
    explicit AutostartEntry(QString directory = defaultDirectory(), QString program = defaultProgram());

    bool isEnabled() const override;
    /// Writes or removes the entry; false (with a log line) when the folder cannot be written.
    bool setEnabled(bool enabled) override;

    QString filePath() const;
    static QString defaultDirectory();
    static QString defaultProgram();

    /// `program` as one argument of a desktop entry's Exec key: quoted where it holds a reserved
    /// character, with the key's string escapes and "%%" for a literal percent sign.
    static QString execArgument(const QString &program);

private:
    QByteArray contents() const;

    QString m_directory;
    QString m_program;
};
