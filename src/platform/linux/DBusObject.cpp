#include "platform/linux/DBusObject.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace {
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
}

DBusObject::DBusObject(QDBusConnection connection, QString service, QString path, int timeoutMs)
    : m_connection(std::move(connection))
    , m_service(std::move(service))
    , m_path(std::move(path))
    , m_timeoutMs(timeoutMs)
{
}

std::optional<QVariant> DBusObject::call(const QString &interface, const QString &method,
                                         const QVariantList &arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_service, m_path, interface, method);
    message.setArguments(arguments);
    // QDBus::Block waits without an event loop, unlike QDBus::BlockWithGui.
    const QDBusMessage reply = m_connection.call(message, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().constFirst();
}

std::optional<QVariant> DBusObject::property(const QString &interface, const QString &name) const
{
    const std::optional<QVariant> value = call(propertiesInterface, QStringLiteral("Get"), {interface, name});
    if (!value)
        return std::nullopt;
    return value->value<QDBusVariant>().variant();
}

QVariantMap DBusObject::properties(const QString &interface) const
{
    const std::optional<QVariant> value = call(propertiesInterface, QStringLiteral("GetAll"), {interface});
    if (!value)
        return {};
    return qdbus_cast<QVariantMap>(*value);
}
