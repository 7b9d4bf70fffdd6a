#pragma once

#include "cli/CommandContext.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

/// One subcommand of netlatchctl, handed what it works with.
class Command
{
public:
    /// Exit statuses shared by every command.
    enum ExitCode { Success = 0, Failure = 1, UsageError = 2 };

    /// One way to give a command's arguments: words separated by blanks, alternatives by '|'
    /// ("on|off|status", "reconnect on|off"), with what it does.
    struct Form
    {
        QString words;
        QString description;
    };

    /// What a command accepts: its parser, its --help and the shell completions are all made from it.
    struct Syntax
    {
        QString description;
        QList<Form> forms; // empty: no arguments
        QList<QCommandLineOption> options;
    };

    explicit Command(const CommandContext &context) : m_context(context) {}
    virtual ~Command() = default;
    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    virtual Syntax syntax() const = 0;
    /// Runs the command. `arguments` starts with "netlatchctl <name>" as one entry, then the command's own.
    virtual int run(const QStringList &arguments) = 0;

    /// The text of `--help`: a usage line per form, the description, then the forms and options in
    /// one aligned table.
    QString helpText() const;

protected:
    const CommandContext &m_context;

    /// Parses `arguments` with syntax()'s options and --help. Returns true when the command should go
    /// on; otherwise `exitCode` says how the process ends (help printed: 0; a usage error printed to
    /// stderr: 2).
    bool parseArguments(QCommandLineParser &parser, const QStringList &arguments, int &exitCode) const;

    /// Explains a usage error on stderr, with the way to the command's help; returns UsageError.
    /// `commandLine` is "netlatchctl <name>".
    static int usageError(const QString &commandLine, const QString &message);
};
