#include "cli/AccountCommand.h"
#include "cli/AutoLoginCommand.h"
#include "cli/Command.h"
#include "cli/CompletionCommand.h"
#include "cli/DaemonCommand.h"
#include "cli/HelpTable.h"
#include "cli/LoginCommand.h"
#include "cli/StatsCommand.h"
#include "cli/StatusCommand.h"
#include "common/BuildConfig.h"
#include "common/QtTranslations.h"
#include "common/StrictUtf8.h"
#include "platform/AppServices.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QTextStream>

#include <memory>
#include <vector>

namespace {

// The one command table: the parser, every --help and the shell completions are made from it.
void makeCommands(const CommandContext &context, std::vector<std::unique_ptr<Command>> &commands)
{
    commands.push_back(std::make_unique<AccountCommand>(context));
    commands.push_back(std::make_unique<AutoLoginCommand>(context));
    commands.push_back(std::make_unique<CompletionCommand>(context, commands));
    commands.push_back(std::make_unique<DaemonCommand>(context));
    commands.push_back(std::make_unique<LoginCommand>(context));
    commands.push_back(std::make_unique<StatsCommand>(context));
    commands.push_back(std::make_unique<StatusCommand>(context));
}

void printUsage(QTextStream &out, const std::vector<std::unique_ptr<Command>> &commands)
{
    out << "Usage: netlatchctl <command> [options]\n\n"
        << "Signs this computer into the campus network's captive portal.\n\n"
        << "Commands:\n";
    HelpTable table;
    for (const auto &command : commands)
        table.add(command->name(), command->summary());
    out << table.text();
    HelpTable options;
    options.add(QStringLiteral("-h, --help"), QStringLiteral("Show this help"));
    options.add(QStringLiteral("-v, --version"), QStringLiteral("Show the version"));
    out << "\nOptions:\n"
        << options.text() << "\nRun 'netlatchctl <command> --help' for the options of a command.\n";
}

// Qt would turn bytes that are not UTF-8 into U+FFFD: a name would reach the portal mangled.
const char *firstArgumentNotUtf8(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!StrictUtf8::decode(QByteArrayView(argv[i])))
            return argv[i];
    }
    return nullptr;
}

} // namespace

int main(int argc, char *argv[])
{
    AppServices::useServiceDirectories();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Netlatch"));
    QCoreApplication::setApplicationName(QStringLiteral("netlatchctl"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(BuildConfig::version));
    QtTranslations::install(app);

    if (const char *argument = firstArgumentNotUtf8(argc, argv)) {
        QTextStream(stderr) << "netlatchctl: the argument '" << QString::fromUtf8(argument)
                            << "' is not UTF-8 text\n";
        return Command::UsageError;
    }
    // The production instances, each created when a command first asks for it.
    static const CommandContext context{&AppServices::preferences, &AppServices::keychain,
                                        &AppServices::authService, &AppServices::statisticsManager,
                                        &AppServices::networkProbe, &AppServices::bannerCenter,
                                        &AppServices::autoLoginManager};
    std::vector<std::unique_ptr<Command>> commands;
    makeCommands(context, commands);
    const QStringList arguments = QCoreApplication::arguments();
    const QString first = arguments.value(1);

    if (first == QLatin1String("-h") || first == QLatin1String("--help")) {
        QTextStream out(stdout);
        printUsage(out, commands);
        return Command::Success;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        QTextStream(stdout) << "netlatchctl " << BuildConfig::version << "\n";
        return Command::Success;
    }
    for (const auto &command : commands) {
        if (command->name() == first) {
            QStringList commandArguments = arguments.mid(2);
            commandArguments.prepend(QStringLiteral("netlatchctl ") + first);
            const int exitCode = command->run(commandArguments);
            // The shared instances are never destroyed, so write what the command changed now.
            if (Preferences::hasShared())
                Preferences::shared().sync();
            // The sign-in history is the user's data: say so when this run could not keep it as it should.
            if (StatisticsManager::hasShared()) {
                for (const QString &problem : StatisticsManager::shared().historyProblems())
                    QTextStream(stderr) << "netlatchctl: warning: " << problem << "\n";
            }
            return exitCode;
        }
    }

    QTextStream err(stderr);
    if (!first.isEmpty())
        err << "netlatchctl: unknown command '" << first << "'\n\n";
    printUsage(err, commands);
    return Command::UsageError;
}
