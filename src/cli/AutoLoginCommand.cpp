#include "cli/AutoLoginCommand.h"

#include "autologin/AutoLoginManager.h"
#include "common/InstanceLock.h"
#include "store/Preferences.h"

#include <QTextStream>

namespace {

const QString onArgument = QStringLiteral("on");
const QString offArgument = QStringLiteral("off");
const QString statusArgument = QStringLiteral("status");
const QString reconnectArgument = QStringLiteral("reconnect");

/// The PID of the user's running auto-login engine, or 0 when none runs.
qint64 runningEnginePid()
{
    // Only looks: taking the lock, even for a moment, would turn a daemon starting then away.
    return InstanceLock(AutoLoginManager::instanceLockName).holderPid();
}

void printState(QTextStream &out, bool enabled, bool reconnect, qint64 enginePid)
{
    out << "Automatic sign-in: " << (enabled ? "on" : "off") << "\n";
    // Reconnecting is part of automatic sign-in: it never runs while that is off.
    out << "Reconnect when the portal drops the session: " << (reconnect ? "on" : "off")
        << (reconnect && !enabled ? " (waits for automatic sign-in)" : "") << "\n";
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
    return QStringLiteral("Switch automatic sign-in (or its reconnecting) on or off, or show whether it is on");
}

int AutoLoginCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(summary());
    parser.addPositionalArgument(
        QStringLiteral("on|off|status|reconnect on|off"),
        QStringLiteral("Switch automatic sign-in on, off, or show it (default: status); 'reconnect on|off' "
                       "switches signing in again when the portal drops the session on a campus network"));
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.value(0, statusArgument);
    const bool reconnect = action == reconnectArgument;
    const QString value = reconnect ? positional.value(1) : action;
    if (positional.size() > (reconnect ? 2 : 1) ||
        (value != onArgument && value != offArgument && (reconnect || value != statusArgument))) {
        return usageError(arguments.value(0),
                          QStringLiteral("expected 'on', 'off', 'status' or 'reconnect on|off', got '%1'")
                              .arg(positional.join(QLatin1Char(' '))));
    }

    Preferences &preferences = m_context.preferences();
    if (value != statusArgument) {
        preferences.setBool(reconnect ? PreferenceKeys::autoReconnect : PreferenceKeys::autoLoginEnabled,
                            value == onArgument);
        preferences.sync(); // a running daemon picks the change up from the file
    }
    const bool enabled = preferences.boolValue(PreferenceKeys::autoLoginEnabled);
    const qint64 enginePid = runningEnginePid();
    QTextStream out(stdout);
    printState(out, enabled, preferences.autoReconnect(), enginePid);
    if (enabled && enginePid == 0) {
        out << "Start the daemon with 'systemctl --user start netlatch.service' (or run 'netlatchctl daemon') "
               "to sign in automatically.\n";
    }
    return Success;
}
