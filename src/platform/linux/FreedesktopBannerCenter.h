#pragma once

#include "desktop/BannerCenter.h"

#include <QDBusConnection>
#include <QList>
#include <QPointer>

#include <optional>

class QDBusPendingCallWatcher;

/// Banners through the desktop's notification server (org.freedesktop.Notifications on the session
/// bus), called asynchronously so that a slow server never holds up the caller. The server's
/// capabilities are asked for once; a server that interprets markup in the body gets the body
/// escaped, so that it shows as written. Banners posted before the answer wait for it. Without a
/// session bus (a system service) banners are unavailable: the first request or banner says so, the
/// rest are dropped silently.
class FreedesktopBannerCenter final : public BannerCenter
{
public:
    explicit FreedesktopBannerCenter(QDBusConnection sessionBus);
    ~FreedesktopBannerCenter() override;

    /// The notification protocol has no permission step: asking the server for its capabilities
    /// tells whether anyone will show the banners at all.
    void requestAuthorization(ErrorHandler onError) override;
    void post(const QString &title, const QString &body, ErrorHandler onError) override;

private:
    struct Banner
    {
        QString title;
        QString body;
        ErrorHandler onError;
    };

    /// False without a session bus, after telling `onError` once.
    bool busConnected(const ErrorHandler &onError);
    void askCapabilities();
    void notify(const Banner &banner);

    QDBusConnection m_bus;
    bool m_askedCapabilities = false;
    QPointer<QDBusPendingCallWatcher> m_capabilityCall; // its answer comes back to this object
    std::optional<bool> m_bodyMarkup; // absent until the server has answered
    QList<ErrorHandler> m_capabilityErrorHandlers;
    QList<Banner> m_waiting;
    bool m_toldUnavailable = false;
};
