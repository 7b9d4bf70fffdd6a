#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QVariantList>

#include <list>

/// A dbus-daemon of the test's own, standing in for the system or the session bus, with
/// python-dbusmock services on it. Create it before the process first touches that bus: it points
/// DBUS_SYSTEM_BUS_ADDRESS or DBUS_SESSION_BUS_ADDRESS at itself, so QDBusConnection::systemBus() or
/// sessionBus() reach it. The daemon and the mocks end with the object. Failures are printed as warnings.
class PrivateDBus
{
public:
    enum class Role { System, Session };

    explicit PrivateDBus(Role role);
    ~PrivateDBus();

    /// Runs `python3 -m dbusmock` with `arguments` (the bus switch is added) and waits until it owns
    /// `busName`. Returns the mock, whose standard output logs the calls it has had; null on failure.
    QProcess *startMock(const QStringList &arguments, const QString &busName);
    /// Calls `method` of `interface` (by default dbusmock's own: AddMethod, EmitSignal, ...) and waits
    /// for the answer; false on an error reply.
    bool call(const QString &service, const QString &path, const QString &method, const QVariantList &args,
              const QString &interface = QStringLiteral("org.freedesktop.DBus.Mock"));

private:
    QProcess &start(const QString &program, const QStringList &arguments);
    QDBusConnection bus() const
    {
        return m_role == Role::System ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    }

    Role m_role;
    std::list<QProcess> m_processes; // the daemon, then the mocks
};
