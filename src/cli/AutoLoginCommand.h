#pragma once

#include "cli/Command.h"

/// `netlatchctl autologin on|off|status|reconnect on|off|wired on|off`: switches automatic sign-in (or
/// one of its parts) on or off as the settings pane does (the stored switch that every engine of the user reads, and that a running daemon follows),
/// or shows it together with whether the auto-login daemon runs.
class AutoLoginCommand final : public Command
{
public:
    using Command::Command;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;
};
