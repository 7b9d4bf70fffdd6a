#include "cli/DaemonCommand.h"

#include "autologin/AutoLoginManager.h"
#include "autologin/AutoLoginSwitchWatcher.h"
#include "common/UnixSignalWatcher.h"
#include "common/InstanceLock.h"
#include "common/Log.h"
#include "desktop/StatusBarNotifications.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <unistd.h>

QString DaemonCommand::name() const
{
    return QStringLiteral("daemon");
}

QString DaemonCommand::summary() const
{
    return QStringLiteral("Run automatic sign-in in the foreground (for the systemd services)");
}

namespace {
const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Copy the diagnostic log to stderr"));
} // namespace

Command::Syntax DaemonCommand::syntax() const
{
    return {QStringLiteral("Runs automatic sign-in in the foreground until SIGTERM or Ctrl+C: for the systemd "
                           "user service, or the system service of a machine without a desktop."),
            {},
            {verbose}};
}

int DaemonCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    QTextStream err(stderr);
    if (!parser.positionalArguments().isEmpty()) {
        err << arguments.value(0) << ": unexpected argument '" << parser.positionalArguments().first() << "'\n";
        return UsageError;
    }

    // Two engines would sign in twice after every wake.
    InstanceLock lock(AutoLoginManager::instanceLockName);
    if (!lock.tryLock(InstanceLock::startPatience)) {
        if (lock.ownerPid() > 0) {
            err << arguments.value(0) << ": automatic sign-in is already running for this user (PID "
                << lock.ownerPid() << ")\n";
            return AlreadyRunning;
        }
        err << arguments.value(0) << ": " << lock.errorString() << "\n";
        return Failure;
    }
    Preferences &preferences = m_context.preferences();
    if (!preferences.boolValue(PreferenceKeys::autoLoginEnabled)) {
        err << arguments.value(0) << ": automatic sign-in is switched off.\n"
            << "Switch it on with 'netlatchctl autologin on', then start the daemon again.\n";
        return SwitchedOff;
    }

    Log::setStderrCopy(parser.isSet(verbose));
    UnixSignalWatcher signalWatcher({SIGTERM, SIGINT});
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, qApp, &QCoreApplication::quit);
    StatusBarNotifications::requestNotificationPermission(m_context.banners());
    AutoLoginManager &engine = m_context.autoLogin();
    engine.checkLocationPermission();
    AutoLoginSwitchWatcher switchWatcher(preferences, engine);
    if (::isatty(STDOUT_FILENO)) {
        QTextStream(stdout) << "Automatic sign-in is running (PID " << QCoreApplication::applicationPid()
                            << "). Press Ctrl+C to stop.\n";
    }

    QCoreApplication::exec();
    engine.stopMonitoring();
    preferences.sync();
    return Success;
}
