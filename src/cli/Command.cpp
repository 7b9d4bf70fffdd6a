#include "cli/Command.h"

#include <QCoreApplication>
#include <QTextStream>

bool Command::parseArguments(QCommandLineParser &parser, const QStringList &arguments, int &exitCode)
{
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments)) {
        QTextStream(stderr) << arguments.value(0) << ": " << parser.errorText() << "\n"
                            << "Try '" << arguments.value(0) << " --help'.\n";
        exitCode = UsageError;
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
