#include "PrivateDBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

static constexpr int StartupTimeoutMs = 15000;

PrivateDBus::PrivateDBus(Role role) : m_role(role)
{
    // A session-type configuration for both roles (it lets the mocks own the system services' names)
    // without service folders, so nothing installed on the machine is activated.
    QProcess &daemon = start(u"dbus-daemon"_s, {u"--config-file=" NETLATCH_PRIVATE_BUS_CONF ""_s, u"--nofork"_s,
                                                u"--print-address=1"_s});
    while (!daemon.canReadLine() && daemon.waitForReadyRead(StartupTimeoutMs)) {
    }
    qputenv(role == Role::System ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS",
            daemon.readLine().trimmed());
}

PrivateDBus::~PrivateDBus()
{
    for (QProcess &process : m_processes)
        process.kill();
    for (QProcess &process : m_processes)
        process.waitForFinished();
}

QProcess &PrivateDBus::start(const QString &program, const QStringList &arguments)
{
    QProcess &process = m_processes.emplace_back();
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    process.waitForStarted(StartupTimeoutMs);
    return process;
}

QProcess *PrivateDBus::startMock(const QStringList &arguments, const QString &busName)
{
    const QString busSwitch = m_role == Role::System ? u"--system"_s : u"--session"_s;
    // The system's python has dbusmock and its dbus and gi modules; another python may come first on PATH.
    QProcess &mock = start(u"/usr/bin/python3"_s, QStringList{u"-m"_s, u"dbusmock"_s, busSwitch} + arguments);
    const auto settled = [&] {
        return mock.state() != QProcess::Running || bus().interface()->isServiceRegistered(busName).value();
    };
    if (QTest::qWaitFor(settled, StartupTimeoutMs) && mock.state() == QProcess::Running)
        return &mock;
    qWarning("dbusmock did not take %s: %s", qPrintable(busName), qPrintable(mock.errorString()));
    return nullptr;
}

bool PrivateDBus::call(const QString &service, const QString &path, const QString &method,
                       const QVariantList &args, const QString &interface)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    const QDBusMessage reply = bus().call(message);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning("%s on %s: %s", qPrintable(method), qPrintable(path), qPrintable(reply.errorMessage()));
    return reply.type() != QDBusMessage::ErrorMessage;
}
