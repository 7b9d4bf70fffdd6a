#include "cli/Command.h"

#include <QCoreApplication>
#include <QTextStream>

bool Command::parseArguments(QCommandLineParser &parser, const QStringList &arguments, int &exitCode)
{
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments)) {
        exitCode = usageError(arguments.value(0), parser.errorText());
        return false;
    }
    if (parser.isSet(help)) {
        // Qt names the program by its full path; the usage line reads better as "netlatchctl <command>".
        QString text = parser.helpText();
        text.replace(QCoreApplication::arguments().constFirst(), arguments.value(0));
        QTextStream(stdout) << text;
        exitCode = Success;
        return false;
    }
    return true;
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
