#include "platform/linux/FreedesktopApplication.h"

#include "common/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
const QString NoSessionBusLog =
    QStringLiteral("⚠️ 无法连接会话D-Bus总线，无法保证只运行一个实例: ");
} // namespace

FreedesktopApplication::FreedesktopApplication(QDBusConnection sessionBus, QStringList actionNames,
                                               QObject *parent)
    : QObject(parent), m_bus(std::move(sessionBus)), m_actionNames(std::move(actionNames))
{
}

FreedesktopApplication::~FreedesktopApplication()
{
    if (m_registered) {
        m_bus.unregisterObject(objectPath());
        m_bus.unregisterService(applicationId);
    }
}

QString FreedesktopApplication::objectPath()
{
    return QLatin1Char('/') + QString(applicationId).replace(QLatin1Char('.'), QLatin1Char('/'));
}

bool FreedesktopApplication::registerService()
{
    if (!m_bus.isConnected()) {
        Log::write(NoSessionBusLog + m_bus.lastError().message());
        return false;
    }
    // The object is served before the name is taken, so that a launch that sees the name finds it.
    m_registered =
        m_bus.registerObject(objectPath(), interfaceName, this, QDBusConnection::ExportScriptableSlots) &&
        m_bus.registerService(applicationId);
    if (!m_registered)
        m_bus.unregisterObject(objectPath());
    return m_registered;
}

bool FreedesktopApplication::activateRunningInstance(const QString &action)
{
    QVariantMap platformData;
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        platformData.insert(QStringLiteral("desktop-startup-id"), QString::fromUtf8(startupId));
    QDBusMessage call = QDBusMessage::createMethodCall(
        applicationId, objectPath(), interfaceName,
        action.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("ActivateAction"));
    if (action.isEmpty())
        call.setArguments({platformData});
    else
        call.setArguments({action, QVariantList(), platformData}); // (s, av, a{sv})
    return m_bus.isConnected() && m_bus.call(call).type() == QDBusMessage::ReplyMessage;
}

void FreedesktopApplication::Activate(const QVariantMap &)
{
    Q_EMIT activateRequested();
}

void FreedesktopApplication::Open(const QStringList &, const QVariantMap &)
{
    // The application opens no files: opening it with some is opening it.
    Q_EMIT activateRequested();
}

void FreedesktopApplication::ActivateAction(const QString &name, const QVariantList &, const QVariantMap &)
{
    if (!m_actionNames.contains(name)) {
        Log::write(unknownActionLog + Log::quoted(name));
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such action"));
        return;
    }
    Q_EMIT actionRequested(name);
}
