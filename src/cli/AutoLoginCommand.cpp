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
const QString wiredArgument = QStringLiteral("wired");

/// The PID of the user's running auto-login engine, or 0 when none runs.
qint64 runningEnginePid()
{
    // Only looks: taking the lock, even for a moment, would turn a daemon starting then away.
    return InstanceLock(AutoLoginManager::instanceLockName).holderPid();
}

void printState(QTextStream &out, bool enabled, bool reconnect, bool wired, qint64 enginePid)
{
    out << "Automatic sign-in: " << (enabled ? "on" : "off") << "\n";
    // Reconnecting and wired networks are parts of automatic sign-in: neither runs while that is off.
    const char *waits = enabled ? "" : " (waits for automatic sign-in)";
    out << "Reconnect when the portal drops the session: " << (reconnect ? "on" : "off") << (reconnect ? waits : "")
        << "\n";
    out << "Wired networks too, where the portal answers: " << (wired ? "on" : "off") << (wired ? waits : "")
        << "\n";
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
    return QStringLiteral("Switch automatic sign-in (or its reconnecting, or wired networks) on or off, or show it");
}

Command::Syntax AutoLoginCommand::syntax() const
{
    return {summary() + u'.',
            {{QStringLiteral("on|off|status"), QStringLiteral("Switch automatic sign-in on or off, or show it (the default)")},
             {QStringLiteral("reconnect on|off"),
              QStringLiteral("Sign in again when the portal drops the session on a campus network (on unless "
                             "switched off)")},
             {QStringLiteral("wired on|off"),
              QStringLiteral("Sign in on networks without a Wi-Fi name too (wired), only where the probe is "
                             "redirected to the portal itself")}},
            {}};
}

int AutoLoginCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    const QStringList positional = parser.positionalArguments();
    const QString action = positional.value(0, statusArgument);
    const bool part = action == reconnectArgument || action == wiredArgument;
    const QString value = part ? positional.value(1) : action;
    if (positional.size() > (part ? 2 : 1) ||
        (value != onArgument && value != offArgument && (part || value != statusArgument))) {
        return usageError(arguments.value(0),
                          QStringLiteral("expected 'on', 'off', 'status', 'reconnect on|off' or 'wired on|off', got '%1'")
                              .arg(positional.join(QLatin1Char(' '))));
    }

    Preferences &preferences = m_context.preferences();
    if (value != statusArgument) {
        const PreferenceKey &key = action == reconnectArgument ? PreferenceKeys::autoReconnect
            : action == wiredArgument                           ? PreferenceKeys::skipWiFiCheckForAutoLogin
                                                                : PreferenceKeys::autoLoginEnabled;
        preferences.setBool(key, value == onArgument);
        preferences.sync(); // a running daemon picks the change up from the file
    }
    const bool enabled = preferences.boolValue(PreferenceKeys::autoLoginEnabled);
    const qint64 enginePid = runningEnginePid();
    QTextStream out(stdout);
    printState(out, enabled, preferences.autoReconnect(),
               preferences.boolValue(PreferenceKeys::skipWiFiCheckForAutoLogin), enginePid);
    if (enabled && enginePid == 0) {
        out << "Start the daemon with 'systemctl --user start netlatch.service' (or run 'netlatchctl daemon') "
               "to sign in automatically.\n";
    }
    return Success;
}
