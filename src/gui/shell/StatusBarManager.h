#pragma once

#include "common/NotificationCenter.h"
#include "common/SharedInstance.h"
#include "desktop/StatusBarNotifications.h"

#include <QObject>
#include <QPointer>

#include <functional>

struct AppContext;
class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class TrayHost;

/// The tray item: a network symbol (TraySymbol) whose menu signs in with one click ("一键联网"),
/// brings the main window back, opens the About pane and quits. Quick sign-ins run one at a time and
/// report their start and outcome as banners (the showNotification it inherits); where no banner can
/// be shown, a failure brings the window forward on "通用", whose status line holds it. The tooltip
/// tells the outcome and time of the last sign-in, whoever made it. Main thread only.
class StatusBarManager : public QObject,
                         public StatusBarNotifications,
                         public SharedInstance<StatusBarManager>
{
    Q_OBJECT

public:
    static inline const QString quickLoginTitle = QStringLiteral("一键联网");
    static inline const QString showMainWindowTitle = QStringLiteral("显示主窗口");
    static inline const QString aboutTitle = QStringLiteral("关于 Netlatch");
    static inline const QString quitTitle = QStringLiteral("退出程序");
    static inline const QString accessibleName = QStringLiteral("Netlatch");
    static inline const QString quickLoginBusyLog = QStringLiteral("⏳ 一键联网正在进行，忽略重复请求");

    /// Creates the tray item as soon as `trayHost` says a tray is there (setupStatusBar).
    StatusBarManager(AppContext &context, TrayHost &trayHost, QObject *parent = nullptr);
    ~StatusBarManager() override;

    /// The tray icon; null until a tray host was awaited.
    QSystemTrayIcon *statusItem() const { return m_statusItem; }
    QMenu *menu() const { return m_menu; }

    /// Called with the fallback window that showMainWindow() makes when no main window exists, so
    /// that it follows the taskbar choice as the main window does.
    void setWindowCreatedHandler(std::function<void(QWidget *)> handler)
    {
        m_windowCreated = std::move(handler);
    }

public Q_SLOTS:
    void quickLogin();
    void showMainWindow();
    void showAbout();
    void quitApplication();

private:
    void setupStatusBar();
    void showMenu();
    void refreshMenu();
    QAction *addEntry(const QString &title, void (StatusBarManager::*action)());
    void signInEnded(bool succeeded, const QString &message);
    void showFailureInWindow();

    AppContext &m_context;
    bool m_quickLoginRunning = false;
    QString m_toolTip;
    QList<NotificationCenter::Token> m_outcomeObservers;
    /// The window showMainWindow() made where no main window exists.
    QPointer<QWidget> m_fallbackWindow;
    QSystemTrayIcon *m_statusItem = nullptr;
    QMenu *m_menu = nullptr;
    QList<QAction *> m_entries;
    std::function<void(QWidget *)> m_windowCreated;
};
