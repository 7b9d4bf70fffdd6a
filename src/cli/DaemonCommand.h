#pragma once

#include "cli/Command.h"

/// `netlatchctl daemon [--verbose]`: runs the auto-login engine in the foreground for a desktop
/// session without a tray (the systemd user unit runs it). Only one engine runs per user. Ends
/// cleanly on SIGTERM or SIGINT.
class DaemonCommand final : public Command
{
public:
    using Command::Command;

    /// Another engine of this user holds the instance lock (EX_TEMPFAIL; the unit does not restart).
    static constexpr int AlreadyRunning = 75;
    /// Automatic sign-in is switched off (EX_CONFIG; the unit does not restart).
    static constexpr int SwitchedOff = 78;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;
};
