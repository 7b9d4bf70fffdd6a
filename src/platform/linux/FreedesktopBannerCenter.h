#pragma once

#include "app/BannerCenter.h"

#include <QDBusConnection>

/// Banners through the desktop's notification server (org.freedesktop.Notifications on the session
/// bus), called asynchronously so that a slow server never holds up the caller.
class FreedesktopBannerCenter final : public BannerCenter
{
public:
    explicit FreedesktopBannerCenter(QDBusConnection sessionBus);

    /// The notification protocol has no permission step: asking the server for its capabilities
    /// tells whether anyone will show the banners at all.
    void requestAuthorization(ErrorHandler onError) override;
    void post(const QString &title, const QString &body, ErrorHandler onError) override;

private:
    void callAsync(const QString &method, const QVariantList &arguments, ErrorHandler onError);

    QDBusConnection m_bus;
};
