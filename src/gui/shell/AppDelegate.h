#pragma once

#include "common/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QWidget>

#include <chrono>
#include <functional>

struct AppContext;
class DockIconManager;
class StatusBarManager;
class SystemEvents;

/// The one main window: created at start-up with the size of its first screen, resized (centre kept)
/// as the first-run flow moves on, hidden (never destroyed) when closed and brought back when the user
/// launches the application again. Main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static inline const QString windowTitle = QStringLiteral("Netlatch");
    static inline const QString resizeBusyLog =
        QStringLiteral("⚠️ 窗口正在调整中，忽略重复请求");
    static inline const QString resizeInvalidLog =
        QStringLiteral("⚠️ 窗口无效或不可见，无法调整大小");

    // Each screen's size; the window's content takes it (the title bar is the window manager's).
    static constexpr QSize updateLogSize{600, 650};
    static constexpr QSize welcomeSize{600, 600};
    static constexpr QSize credentialSetupSize{500, 500};
    static constexpr QSize settingsSize{700, 500};

    /// How long a resize blocks the next one, and the delays of the taskbar choice's re-application.
    static constexpr std::chrono::milliseconds resizeGuard{100};
    static constexpr std::chrono::milliseconds showDockDelay{100};
    static constexpr std::chrono::milliseconds activeDockDelay{200};

    /// `durationScale` multiplies the resize guard and the delays (tests widen them; the program keeps 1.0).
    AppDelegate(AppContext &context, DockIconManager &dockIcon, double durationScale = 1.0,
                QObject *parent = nullptr);
    ~AppDelegate() override;

    /// The size of the first screen, from the three stored facts.
    static QSize initialWindowSize(bool updateLogDue, bool welcomeShown, bool credentialsSetUp);

    StatusBarManager *statusBarManager() const { return m_statusBarManager; }
    void setStatusBarManager(StatusBarManager *manager) { m_statusBarManager = manager; }
    QWidget *mainWindow() const { return m_mainWindow; }
    bool isResizingWindow() const { return m_isResizingWindow; }
    /// Called with each window this delegate creates, before it is first shown.
    void setWindowCreatedHandler(std::function<void(QWidget *)> handler)
    {
        m_windowCreated = std::move(handler);
    }

    /// Builds the main window around MainWindowView, sized for its first screen, centred, and shows it.
    void createMainWindow();
    /// Asks for a resize to `width` × `height` that keeps the window's centre; it runs in a moment.
    void resizeWindow(double width, double height);
    /// The user launched the application again: the same main window comes forward.
    bool applicationShouldHandleReopen();
    /// Re-applies the taskbar choice a moment after the application became active.
    void applicationDidBecomeActive();
    /// Follows Qt's application state from now on: its becoming active reaches
    /// applicationDidBecomeActive() and, when given, the engine's `engineEvents`.
    void observeApplicationActivation(SystemEvents *engineEvents);
    /// The engine came to this process after start-up: its events follow activation from now on.
    void setEngineEvents(SystemEvents *engineEvents) { m_engineEvents = engineEvents; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void bringForward(QWidget *window);
    /// Resizes the window to `size`, its centre kept.
    void applySize(QWidget *window, QSize size);
    void observeResizeRequests();
    std::chrono::milliseconds scaled(std::chrono::milliseconds duration) const;

    AppContext &m_context;
    DockIconManager &m_dockIcon;
    StatusBarManager *m_statusBarManager = nullptr;
    SystemEvents *m_engineEvents = nullptr;
    QPointer<QWidget> m_mainWindow;
    const double m_durationScale;
    bool m_isResizingWindow = false;
    /// The size a screen change asked for while the window was hidden.
    QSize m_pendingSize;
    QList<NotificationCenter::Token> m_resizeObservers;
    std::function<void(QWidget *)> m_windowCreated;
};
