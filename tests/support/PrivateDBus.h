#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

/// A dbus-daemon of the test's own, standing in for the system or the session bus, with
/// python-dbusmock services on it. Create it before the process first touches that bus: it points
/// DBUS_SYSTEM_BUS_ADDRESS or DBUS_SESSION_BUS_ADDRESS at itself, so QDBusConnection::systemBus() or
/// sessionBus() reach it. The daemon and the mocks end with the object.
class PrivateDBus
{
public:
    enum class Role { System, Session };

    explicit PrivateDBus(Role role);
    ~PrivateDBus();
    PrivateDBus(const PrivateDBus &) = delete;
    PrivateDBus &operator=(const PrivateDBus &) = delete;

    /// False when the daemon could not be started (see errorString()).
    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    QString errorString() const { return m_errorString; }

    /// Runs `/usr/bin/python3 -m dbusmock` with `arguments` (the bus switch is added) and waits until
    /// it owns `busName`. Returns false, with errorString() set, when it does not come up.
    bool startMock(const QStringList &arguments, const QString &busName);

    /// Calls `method` on a mock object and waits for the answer; false on an error reply.
    bool call(const QString &service, const QString &path, const QString &interface, const QString &method,
              const QVariantList &arguments = {});
    /// Makes a mock object emit a D-Bus signal through dbusmock's EmitSignal and waits until it has been sent.
    bool emitSignal(const QString &service, const QString &path, const QString &interface, const QString &name,
                    const QString &signature, const QVariantList &arguments);

private:
    QDBusConnection connection() const;

    Role m_role;
    QProcess m_daemon;
    std::vector<std::unique_ptr<QProcess>> m_mocks;
    QString m_address;
    QString m_errorString;
};
