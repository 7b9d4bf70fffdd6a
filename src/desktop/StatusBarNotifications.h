#pragma once

#include <QString>

#include <functional>

class BannerCenter;

/// The banners that tell the user about sign-ins made while no window is in front. They keep no state
/// and need no tray item, so the headless engine and netlatchctl use them too; the tray item
/// (StatusBarManager, in the GUI library) inherits them as its own banner operation.
class StatusBarNotifications
{
public:
    /// Asks the installed banner centre for permission to show banners; a failure is logged.
    static void requestNotificationPermission();
    static void requestNotificationPermission(BannerCenter &center);

    /// Shows one banner through the installed banner centre; a failure is logged, never retried, and
    /// reaches `notShown` when given (a caller whose news must not get lost shows it another way).
    static void showNotification(const QString &title, const QString &body);
    static void showNotification(BannerCenter &center, const QString &title, const QString &body,
                                 std::function<void()> notShown = {});
};
