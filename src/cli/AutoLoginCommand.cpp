#include "cli/AutoLoginCommand.h"

#include "autologin/AutoLoginManager.h"
#include "common/InstanceLock.h"
#include "platform/AppServices.h"
#include "store/Preferences.h"

#include <QTextStream>

namespace {

const QString onArgument = QStringLiteral("on");
const QString offArgument = QStringLiteral("off");
const QString statusArgument = QStringLiteral("status");

/// The PID of the user's running auto-login engine, or 0 when none runs.
qint64 runningEnginePid()
{
    InstanceLock lock(AutoLoginManager::instanceLockName);
    // Taking the lock proves that nobody holds it; it is let go again at once.
    return lock.tryLock() ? 0 : lock.ownerPid();
}

void printState(QTextStream &out, bool enabled, qint64 enginePid)
{
    out << "Automatic sign-in: " << (enabled ? "on" : "off") << "\n";
    if (enginePid > 0)
        out << "Auto-login engine: running (PID " << enginePid << ")\n";
    else
        out << "Auto-login engine: not running\n";
}

} // namespace

QString AutoLoginCommand::name() const
{
    return QStringLiteral("autologin");
}

QString AutoLoginCommand::summary() const
{
    return QStringLiteral("Switch automatic sign-in on or off, or show whether it is on");
}

int AutoLoginCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    parser.addPositionalArgument(QStringLiteral("on|off|status"),
                                 QStringLiteral("Switch automatic sign-in on, off, or show it (default: status)"));
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.value(0, statusArgument);
    if (positional.size() > 1 || (action != onArgument && action != offArgument && action != statusArgument)) {
        return usageError(arguments.value(0), QStringLiteral("expected 'on', 'off' or 'status', got '%1'")
                                                  .arg(positional.join(QLatin1Char(' '))));
    }

    Preferences &preferences = AppServices::preferences();
    if (action != statusArgument) {
        preferences.setBool(PreferenceKeys::autoLoginEnabled, action == onArgument);
        preferences.sync(); // a running daemon picks the change up from the file
    }
    const bool enabled = preferences.boolValue(PreferenceKeys::autoLoginEnabled);
    const qint64 enginePid = runningEnginePid();
    QTextStream out(stdout);
    printState(out, enabled, enginePid);
    if (enabled && enginePid == 0) {
        out << "Start the daemon with 'systemctl --user start netlatch.service' (or run 'netlatchctl daemon') "
               "to sign in automatically.\n";
    }
    return Success;
}
