#include "cli/CompletionCommand.h"

#include "cli/CompletionScript.h"

#include <QTextStream>

CompletionCommand::CompletionCommand(const CommandContext &context,
                                     const std::vector<std::unique_ptr<Command>> &commands)
    : Command(context), m_commands(commands)
{
}

QString CompletionCommand::name() const
{
    return QStringLiteral("completion");
}

QString CompletionCommand::summary() const
{
    return QStringLiteral("Print the shell completion script for bash, zsh or fish");
}

Command::Syntax CompletionCommand::syntax() const
{
    const QString shells = QStringList{CompletionScript::bash, CompletionScript::zsh, CompletionScript::fish}.join(u'|');
    return {QStringLiteral("Prints the completion script of every netlatchctl command and option for a shell. The "
                           "package installs them; by hand, for example: netlatchctl completion bash > "
                           "~/.local/share/bash-completion/completions/netlatchctl"),
            {{shells, QStringLiteral("The shell to write the script for")}},
            {}};
}

int CompletionCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    const QString script = positional.size() == 1 ? CompletionScript::forShell(positional.first(), m_commands) : QString();
    if (script.isEmpty()) {
        return usageError(arguments.value(0), QStringLiteral("expected one shell: bash, zsh or fish, got '%1'")
                                                  .arg(positional.join(QLatin1Char(' '))));
    }
    QTextStream(stdout) << script;
    return Success;
}
