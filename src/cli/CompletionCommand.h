#pragma once

#include "cli/Command.h"

#include <memory>
#include <vector>

/// `netlatchctl completion bash|zsh|fish`: prints the shell completion script for every command.
/// The package installs the three scripts, made by this command at build time.
class CompletionCommand final : public Command
{
public:
    /// `commands` is the program's command table, this command included.
    CompletionCommand(const CommandContext &context, const std::vector<std::unique_ptr<Command>> &commands);

    QString name() const override;
    QString summary() const override;
    Syntax syntax() const override;
    int run(const QStringList &arguments) override;

private:
    const std::vector<std::unique_ptr<Command>> &m_commands;
};
