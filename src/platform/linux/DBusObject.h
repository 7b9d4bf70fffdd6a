#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

/// One object of a D-Bus service, read with blocking calls that wait at most a short time-out and
/// never run an event loop, so they are safe on the main thread and from worker threads alike.
/// A missing service, an error reply or a time-out reads as absent or empty.
class DBusObject
{
public:
    /// Long enough for a busy system service, short enough not to freeze a caller on a hung one.
    static constexpr int defaultTimeoutMs = 500;

    DBusObject(QDBusConnection connection, QString service, QString path, int timeoutMs = defaultTimeoutMs);

    /// The reply's first argument, or absent on an error reply.
    std::optional<QVariant> call(const QString &interface, const QString &method, const QVariantList &arguments = {}) const;

    /// One property, unwrapped from its variant.
    std::optional<QVariant> property(const QString &interface, const QString &name) const;

    /// Every property of one interface; empty when they cannot be read.
    QVariantMap properties(const QString &interface) const;

private:
    QDBusConnection m_connection;
    QString m_service;
    QString m_path;
    int m_timeoutMs;
};
