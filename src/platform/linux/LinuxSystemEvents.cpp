#include "platform/linux/LinuxSystemEvents.h"

#include "common/Log.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <algorithm>

namespace {
const QString LogindService = QStringLiteral("org.freedesktop.login1");
const QString LogindManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString LogindManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");

const QString NetworkManagerService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NetworkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ConnectivityProperty = QStringLiteral("Connectivity");
// NMConnectivityState values that mean the internet is cut off: behind a portal, or partly reachable.
constexpr uint ConnectivityPortal = 2;
constexpr uint ConnectivityLimited = 3;

bool isCutOff(std::optional<uint> connectivity)
{
    return connectivity == ConnectivityPortal || connectivity == ConnectivityLimited;
}

// Each desktop serves its screen saver under one of these names; the object path differs between
// them (KDE even uses two), so any path of the service is accepted.
const QStringList ScreenSaverServices{QStringLiteral("org.freedesktop.ScreenSaver"),
                                      QStringLiteral("org.gnome.ScreenSaver")};

const QString NoSystemBusLog = QStringLiteral("⚠️ 无法连接系统D-Bus总线，系统唤醒和解锁触发不可用: ");
const QString NoSessionBusLog = QStringLiteral("⚠️ 无法连接会话D-Bus总线，屏幕唤醒触发不可用: ");
const QString NoScreenSaverLog =
    QStringLiteral("⚠️ 会话总线上暂无屏幕保护服务（org.freedesktop.ScreenSaver / org.gnome.ScreenSaver），"
                   "屏幕唤醒触发将在其出现后生效");
} // namespace

LinuxSystemEvents::LinuxSystemEvents(QDBusConnection systemBus, QDBusConnection sessionBus, QObject *parent)
    : SystemEvents(parent), m_systemBus(systemBus), m_sessionBus(std::move(sessionBus)),
      m_sessionWatcher(std::move(systemBus))
{
    connect(&m_sessionWatcher, &LogindSessionWatcher::sessionUnlocked, this, &SystemEvents::sessionDidBecomeActive);
}

LinuxSystemEvents::~LinuxSystemEvents()
{
    stop();
}

void LinuxSystemEvents::start()
{
    if (m_started)
        return;
    m_started = true;
    m_screenSaverActive.reset();
    m_connectivity.reset();
    subscribe(true);
    if (!m_systemBus.isConnected())
        Log::write(NoSystemBusLog + m_systemBus.lastError().message());
    else
        m_sessionWatcher.start();
    if (!m_sessionBus.isConnected())
        Log::write(NoSessionBusLog + m_sessionBus.lastError().message());
    else
        checkScreenSaverPresence();
}

void LinuxSystemEvents::stop()
{
    if (!m_started)
        return;
    m_started = false;
    subscribe(false);
    m_sessionWatcher.stop();
}

void LinuxSystemEvents::subscribe(bool on)
{
    const auto apply = [on, this](QDBusConnection &bus, const QString &service, const QString &path,
                                  const QString &interface, const QString &name, const char *slot) {
        if (!bus.isConnected())
            return;
        if (on)
            bus.connect(service, path, interface, name, this, slot);
        else
            bus.disconnect(service, path, interface, name, this, slot);
    };
    apply(m_systemBus, LogindService, LogindManagerPath, LogindManagerInterface, QStringLiteral("PrepareForSleep"),
          SLOT(onPrepareForSleep(bool)));
    // NetworkManager announces a property change both ways (the standard signal and, in older
    // versions and on some objects, its own); the second sight of one value changes nothing.
    apply(m_systemBus, NetworkManagerService, NetworkManagerPath, PropertiesInterface,
          QStringLiteral("PropertiesChanged"), SLOT(onNetworkManagerPropertiesChanged(QString, QVariantMap, QStringList)));
    apply(m_systemBus, NetworkManagerService, NetworkManagerPath, NetworkManagerService,
          QStringLiteral("PropertiesChanged"), SLOT(onNetworkManagerOwnPropertiesChanged(QVariantMap)));
    for (const QString &service : ScreenSaverServices)
        apply(m_sessionBus, service, QString(), service, QStringLiteral("ActiveChanged"),
              SLOT(onScreenSaverActiveChanged(bool)));
}

void LinuxSystemEvents::checkScreenSaverPresence()
{
    // Asked asynchronously: the answer only decides whether to log, and a screen saver may still appear.
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    auto *pending = new QDBusPendingCallWatcher(m_sessionBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [pending] {
        pending->deleteLater();
        const QStringList names = QDBusPendingReply<QStringList>(*pending).value();
        const bool present = std::any_of(ScreenSaverServices.cbegin(), ScreenSaverServices.cend(),
                                         [&names](const QString &service) { return names.contains(service); });
        if (!present)
            Log::write(NoScreenSaverLog);
    });
}

void LinuxSystemEvents::onPrepareForSleep(bool sleeping)
{
    if (!sleeping)
        Q_EMIT systemDidWake();
}

void LinuxSystemEvents::onScreenSaverActiveChanged(bool active)
{
    const bool wasActive = m_screenSaverActive.value_or(true);
    m_screenSaverActive = active;
    if (!active && wasActive)
        Q_EMIT screensDidWake();
}

void LinuxSystemEvents::onNetworkManagerPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                                          const QStringList &)
{
    if (interface == NetworkManagerService)
        onNetworkManagerOwnPropertiesChanged(changed);
}

void LinuxSystemEvents::onNetworkManagerOwnPropertiesChanged(const QVariantMap &changed)
{
    const QVariant value = changed.value(ConnectivityProperty);
    if (!value.isValid())
        return;
    const bool wasCutOff = isCutOff(m_connectivity);
    m_connectivity = value.toUInt();
    if (isCutOff(m_connectivity) && !wasCutOff)
        Q_EMIT internetAccessLost();
}
