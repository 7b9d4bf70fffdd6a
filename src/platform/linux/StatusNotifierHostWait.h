#pragma once

#include "desktop/TrayHost.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>

#include <chrono>

/// Waits for a StatusNotifierWatcher (org.kde.StatusNotifierWatcher on the session bus) that has a
/// registered host, the condition under which Qt exports the tray icon as a StatusNotifierItem with
/// its menu over com.canonical.dbusmenu. Gives up after a bounded wait; Qt then uses the XEmbed tray.
class StatusNotifierHostWait final : public QObject, public TrayHost
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultPatience{10000};

    explicit StatusNotifierHostWait(QDBusConnection sessionBus,
                                    std::chrono::milliseconds patience = defaultPatience,
                                    QObject *parent = nullptr);

    void whenAvailable(std::function<void()> ready) override;

private Q_SLOTS:
    void checkHost();

private:
    void finish();

    QDBusConnection m_bus;
    QDBusServiceWatcher m_serviceWatcher;
    QTimer m_deadline;
    std::function<void()> m_ready;
};
