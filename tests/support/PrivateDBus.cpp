#include "PrivateDBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QTest>

namespace {
// dbusmock must run on the system's python, which has the dbus and gi modules; another python may
// come first on PATH.
const QString SystemPython = QStringLiteral("/usr/bin/python3");
constexpr int StartupTimeoutMs = 15000;
} // namespace

PrivateDBus::PrivateDBus(Role role) : m_role(role)
{
    // A session-type configuration for both roles: it lets the mocks own the system services' names.
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(StartupTimeoutMs)) {
        m_errorString = m_daemon.errorString();
        return;
    }
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(StartupTimeoutMs)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_errorString = QStringLiteral("dbus-daemon printed no address");
        return;
    }
    qputenv(m_role == Role::System ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
}

PrivateDBus::~PrivateDBus()
{
    for (auto &mock : m_mocks) {
        mock->kill();
        mock->waitForFinished();
    }
    m_daemon.kill();
    m_daemon.waitForFinished();
}

QDBusConnection PrivateDBus::connection() const
{
    return m_role == Role::System ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
}

bool PrivateDBus::startMock(const QStringList &arguments, const QString &busName)
{
    auto mock = std::make_unique<QProcess>();
    mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString busSwitch = m_role == Role::System ? QStringLiteral("--system") : QStringLiteral("--session");
    mock->start(SystemPython, QStringList{QStringLiteral("-m"), QStringLiteral("dbusmock"), busSwitch} + arguments);
    if (!mock->waitForStarted(StartupTimeoutMs)) {
        m_errorString = mock->errorString();
        return false;
    }
    QProcess *process = mock.get();
    m_mocks.push_back(std::move(mock));
    const bool up = QTest::qWaitFor(
        [&] {
            return process->state() != QProcess::Running ||
                   connection().interface()->isServiceRegistered(busName).value();
        },
        StartupTimeoutMs);
    if (!up || process->state() != QProcess::Running) {
        m_errorString = QStringLiteral("dbusmock did not take %1").arg(busName);
        return false;
    }
    return true;
}

bool PrivateDBus::call(const QString &service, const QString &path, const QString &interface, const QString &method,
                       const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = connection().call(message);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_errorString = reply.errorMessage();
        return false;
    }
    return true;
}

bool PrivateDBus::emitSignal(const QString &service, const QString &path, const QString &interface,
                             const QString &name, const QString &signature, const QVariantList &arguments)
{
    return call(service, path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("EmitSignal"),
                {interface, name, signature, QVariant::fromValue(arguments)});
}
