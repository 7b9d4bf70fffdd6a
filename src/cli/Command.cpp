#include "cli/Command.h"

#include "cli/HelpTable.h"

#include <QTextStream>

namespace {
const QString programName = QStringLiteral("netlatchctl");
const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help"));
} // namespace

bool Command::parseArguments(QCommandLineParser &parser, const QStringList &arguments, int &exitCode) const
{
    parser.addOptions(syntax().options);
    parser.addOption(helpOption);
    if (!parser.parse(arguments)) {
        exitCode = usageError(arguments.value(0), parser.errorText());
        return false;
    }
    if (parser.isSet(helpOption)) {
        QTextStream(stdout) << helpText();
        exitCode = Success;
        return false;
    }
    return true;
}

QString Command::helpText() const
{
    const Syntax commandSyntax = syntax();
    const QString commandLine = programName + QLatin1Char(' ') + name();
    const QString options = commandSyntax.options.isEmpty() ? QString() : QStringLiteral(" [options]");
    QString text;
    QTextStream out(&text);
    if (commandSyntax.forms.isEmpty())
        out << "Usage: " << commandLine << options << "\n";
    for (qsizetype i = 0; i < commandSyntax.forms.size(); ++i)
        out << (i == 0 ? "Usage: " : "       ") << commandLine << " " << commandSyntax.forms[i].words << options << "\n";
    out << "\n" << commandSyntax.description << "\n";

    HelpTable table;
    for (const Form &form : commandSyntax.forms)
        table.add(form.words, form.description);
    if (!commandSyntax.forms.isEmpty())
        out << "\nArguments:\n" << table.text();
    HelpTable optionTable;
    for (const QCommandLineOption &option : commandSyntax.options + QList<QCommandLineOption>{helpOption})
        optionTable.add(HelpTable::optionTerm(option), option.description());
    out << "\nOptions:\n" << optionTable.text();
    return text;
}

int Command::usageError(const QString &commandLine, const QString &message)
{
    QTextStream err(stderr);
    err << commandLine << ": " << message;
    if (!message.endsWith(QLatin1Char('\n')))
        err << "\n";
    err << "Try '" << commandLine << " --help'.\n";
    return UsageError;
}
