#pragma once

#include "cli/Command.h"

/// `netlatchctl stats [--json]`: the sign-in figures of the statistics pane, for people or scripts.
class StatsCommand final : public Command
{
public:
    using Command::Command;

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;
};
