#pragma once

#include "autologin/SystemEvents.h"
#include "platform/linux/LogindSessionWatcher.h"

#include <QDBusConnection>
#include <QStringList>
#include <QVariantMap>

#include <optional>

/// System events from D-Bus: logind's PrepareForSleep(false) on the system bus is a system wake,
/// ActiveChanged(false) of org.freedesktop.ScreenSaver or org.gnome.ScreenSaver on the session bus a
/// screens wake, and the user's logind session turning unlocked a session activation.
/// NetworkManager's Connectivity turning to portal (2) or limited (3) is an internet access lost; a
/// NetworkManager without connectivity checking never reports those. A bus or service that is missing
/// is logged once per start() and otherwise ignored.
class LinuxSystemEvents final : public SystemEvents
{
    Q_OBJECT

public:
    LinuxSystemEvents(QDBusConnection systemBus, QDBusConnection sessionBus, QObject *parent = nullptr);
    ~LinuxSystemEvents() override;

    void start() override;
    void stop() override;
    /// Object path of the logind session whose unlocks are reported; empty until it has been found.
    QString sessionPath() const { return m_sessionWatcher.sessionPath(); }

private Q_SLOTS:
    void onPrepareForSleep(bool sleeping);
    void onScreenSaverActiveChanged(bool active);
    void onNetworkManagerPropertiesChanged(const QString &interface, const QVariantMap &changed,
                                           const QStringList &invalidated);
    void onNetworkManagerOwnPropertiesChanged(const QVariantMap &changed);

private:
    void checkScreenSaverPresence();
    /// Connects (or disconnects) every D-Bus signal this adapter listens to.
    void subscribe(bool on);

    QDBusConnection m_systemBus;
    QDBusConnection m_sessionBus;
    LogindSessionWatcher m_sessionWatcher;
    bool m_started = false;
    // Several screen savers may announce one unlock; only a change from active counts.
    std::optional<bool> m_screenSaverActive;
    std::optional<uint> m_connectivity; // NetworkManager's last reported NMConnectivityState
};
