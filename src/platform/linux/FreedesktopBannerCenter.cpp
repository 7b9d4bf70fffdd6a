#include "platform/linux/FreedesktopBannerCenter.h"

#include "platform/linux/FreedesktopApplication.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString applicationName = QStringLiteral("Netlatch");
// A server with this capability reads the body as markup, where "<", ">" and "&" are not text.
const QString bodyMarkupCapability = QStringLiteral("body-markup");
// The freedesktop sound theme's name for a new message: the desktop's usual banner sound.
const QString soundHint = QStringLiteral("sound-name");
const QString soundName = QStringLiteral("message-new-instant");
// Ties the banner to the application's desktop entry, so that the server can show the application's
// name and icon and keep its banners together.
const QString desktopEntryHint = QStringLiteral("desktop-entry");
// 0 asks for a new notification every time, so that no banner replaces another.
constexpr uint newNotification = 0;
// -1 leaves the display time to the server.
constexpr int serverDefaultTimeout = -1;
const QString noSessionBusReason = QStringLiteral("no D-Bus session bus, banners are unavailable (%1)");

QString markupEscaped(QString text)
{
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;")).replace(u'>', QStringLiteral("&gt;"));
}
} // namespace

FreedesktopBannerCenter::FreedesktopBannerCenter(QDBusConnection sessionBus) : m_bus(std::move(sessionBus)) {}

FreedesktopBannerCenter::~FreedesktopBannerCenter()
{
    delete m_capabilityCall;
}

bool FreedesktopBannerCenter::busConnected(const ErrorHandler &onError)
{
    if (m_bus.isConnected())
        return true;
    if (!std::exchange(m_toldUnavailable, true) && onError)
        onError(noSessionBusReason.arg(m_bus.lastError().message()));
    return false;
}

void FreedesktopBannerCenter::requestAuthorization(ErrorHandler onError)
{
    if (!busConnected(onError))
        return;
    // Asked once: a failure is told to everyone who asked before the answer.
    if (!m_bodyMarkup && onError)
        m_capabilityErrorHandlers.append(std::move(onError));
    askCapabilities();
}

void FreedesktopBannerCenter::post(const QString &title, const QString &body, ErrorHandler onError)
{
    if (!busConnected(onError))
        return;
    Banner banner{title, body, std::move(onError)};
    if (m_bodyMarkup) {
        notify(banner);
        return;
    }
    m_waiting.append(std::move(banner));
    askCapabilities();
}

void FreedesktopBannerCenter::askCapabilities()
{
    if (m_askedCapabilities)
        return;
    m_askedCapabilities = true;
    const QDBusMessage message =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    m_capabilityCall = new QDBusPendingCallWatcher(m_bus.asyncCall(message));
    QObject::connect(m_capabilityCall, &QDBusPendingCallWatcher::finished, m_capabilityCall, [this](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QStringList> capabilities = *call;
        // Without an answer the body goes as plain text; the banner's own call then reports the problem.
        m_bodyMarkup = !capabilities.isError() && capabilities.value().contains(bodyMarkupCapability);
        for (const ErrorHandler &onError : std::exchange(m_capabilityErrorHandlers, {})) {
            if (capabilities.isError())
                onError(capabilities.error().message());
        }
        for (const Banner &banner : std::exchange(m_waiting, {}))
            notify(banner);
        call->deleteLater();
    });
}

void FreedesktopBannerCenter::notify(const Banner &banner)
{
    const QVariantMap hints{{soundHint, soundName}, {desktopEntryHint, FreedesktopApplication::applicationId}};
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    // The application icon is the themed icon of the same name.
    message.setArguments({applicationName, newNotification, FreedesktopApplication::applicationId, banner.title,
                          *m_bodyMarkup ? markupEscaped(banner.body) : banner.body, QStringList(), hints,
                          serverDefaultTimeout});
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [onError = banner.onError](QDBusPendingCallWatcher *call) {
                         if (call->isError() && onError)
                             onError(call->error().message());
                         call->deleteLater();
                     });
}
