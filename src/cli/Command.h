#pragma once

#include "cli/CommandContext.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

/// One subcommand of netlatchctl, handed what it works with.
class Command
{
public:
    /// Exit statuses shared by every command.
    enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

    explicit Command(const CommandContext &context) : m_context(context) {}
    virtual ~Command() = default;
    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    /// Runs the command. `arguments` starts with "netlatchctl <name>" as one entry, then the command's own.
    virtual int run(const QStringList &arguments) = 0;

protected:
    const CommandContext &m_context;

    /// Parses `arguments` with --help added. Returns true when the command should go on; otherwise
    /// `exitCode` says how the process ends (help printed: 0; a usage error printed to stderr: 2).
    static bool parseArguments(QCommandLineParser &parser, const QStringList &arguments, int &exitCode);

    /// Explains a usage error on stderr, with the way to the command's help; returns UsageError.
    /// `commandLine` is "netlatchctl <name>".
    static int usageError(const QString &commandLine, const QString &message);
};
