#include "desktop/StatusBarNotifications.h"

#include "common/Log.h"
#include "desktop/BannerCenter.h"

namespace {
const QString permissionFailedLog = QStringLiteral("通知权限请求失败: ");
const QString deliveryFailedLog = QStringLiteral("通知发送失败: ");
} // namespace

void StatusBarNotifications::requestNotificationPermission()
{
    requestNotificationPermission(BannerCenter::shared());
}

void StatusBarNotifications::requestNotificationPermission(BannerCenter &center)
{
    center.requestAuthorization([](const QString &reason) { Log::write(permissionFailedLog + reason); });
}

void StatusBarNotifications::showNotification(const QString &title, const QString &body)
{
    showNotification(BannerCenter::shared(), title, body);
}

void StatusBarNotifications::showNotification(BannerCenter &center, const QString &title, const QString &body,
                                              std::function<void()> notShown)
{
    center.post(title, body, [notShown = std::move(notShown)](const QString &reason) {
        Log::write(deliveryFailedLog + reason);
        if (notShown)
            notShown();
    });
}
