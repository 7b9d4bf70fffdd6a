#include "cli/Command.h"

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
        QTextStream(stdout) << parser.helpText();
        exitCode = Success;
        return false;
    }
    return true;
}
