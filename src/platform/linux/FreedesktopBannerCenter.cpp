#include "platform/linux/FreedesktopBannerCenter.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString applicationName = QStringLiteral("Netlatch");
// The freedesktop sound theme's name for a new message: the desktop's usual banner sound.
const QString soundHint = QStringLiteral("sound-name");
const QString soundName = QStringLiteral("message-new-instant");
// 0 asks for a new notification every time, so that no banner replaces another.
constexpr uint newNotification = 0;
// -1 leaves the display time to the server.
constexpr int serverDefaultTimeout = -1;
} // namespace

FreedesktopBannerCenter::FreedesktopBannerCenter(QDBusConnection sessionBus) : m_bus(std::move(sessionBus)) {}

void FreedesktopBannerCenter::requestAuthorization(ErrorHandler onError)
{
    callAsync(QStringLiteral("GetCapabilities"), {}, std::move(onError));
}

void FreedesktopBannerCenter::post(const QString &title, const QString &body, ErrorHandler onError)
{
    const QVariantMap hints{{soundHint, soundName}};
    callAsync(QStringLiteral("Notify"),
              {applicationName, newNotification, QString(), title, body, QStringList(), hints, serverDefaultTimeout},
              std::move(onError));
}

void FreedesktopBannerCenter::callAsync(const QString &method, const QVariantList &arguments, ErrorHandler onError)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [onError = std::move(onError)](QDBusPendingCallWatcher *call) {
                         if (call->isError() && onError)
                             onError(call->error().message());
                         call->deleteLater();
                     });
}
