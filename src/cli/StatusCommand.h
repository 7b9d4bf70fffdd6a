#pragma once

#include "cli/Command.h"

/// `netlatchctl status [--json] [--verbose]`: the current Wi-Fi network, whether it is a campus
/// network and whether the internet is reachable, as the auto-login engine sees them.
class StatusCommand final : public Command
{
public:
    using Command::Command;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;
};
