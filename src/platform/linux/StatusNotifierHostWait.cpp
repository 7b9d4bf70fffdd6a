#include "platform/linux/StatusNotifierHostWait.h"

#include "common/Log.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString NoHostLog =
    QStringLiteral("⚠️ 未发现 StatusNotifier 托盘宿主，改用传统系统托盘");
} // namespace

StatusNotifierHostWait::StatusNotifierHostWait(QDBusConnection sessionBus, std::chrono::milliseconds patience,
                                               QObject *parent)
    : QObject(parent), m_bus(std::move(sessionBus)),
      m_serviceWatcher(WatcherService, m_bus, QDBusServiceWatcher::WatchForRegistration)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(patience);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        Log::write(NoHostLog);
        finish();
    });
    connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierHostWait::checkHost);
}

void StatusNotifierHostWait::whenAvailable(std::function<void()> ready)
{
    m_ready = std::move(ready);
    if (!m_bus.isConnected()) {
        finish();
        return;
    }
    // A watcher that is up but still without a host announces the host by this signal.
    m_bus.connect(WatcherService, WatcherPath, WatcherService, QStringLiteral("StatusNotifierHostRegistered"),
                  this, SLOT(checkHost()));
    m_deadline.start();
    checkHost();
}

void StatusNotifierHostWait::checkHost()
{
    QDBusMessage get = QDBusMessage::createMethodCall(WatcherService, WatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get.setArguments({WatcherService, QStringLiteral("IsStatusNotifierHostRegistered")});
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending] {
        pending->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *pending;
        if (!reply.isError() && reply.value().variant().toBool())
            finish();
    });
}

void StatusNotifierHostWait::finish()
{
    m_deadline.stop();
    m_bus.disconnect(WatcherService, WatcherPath, WatcherService,
                     QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(checkHost()));
    if (auto ready = std::exchange(m_ready, nullptr))
        ready();
}
