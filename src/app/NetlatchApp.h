#pragma once

#include "common/InstanceLock.h"
#include "gui/AppContext.h"

#include <QObject>
#include <QTimer>

#include <memory>

class AppDelegate;
class AutoLoginSwitchWatcher;
class FreedesktopApplication;
class UnixSignalWatcher;

/// The tray application's composition root: one instance per session, then the start-up in its
/// fixed order over the production instances of AppServices, the main window and the tray item.
class NetlatchApp : public QObject
{
    Q_OBJECT

public:
    static inline const QString engineElsewhereLog =
        QStringLiteral("🔍 自动联网引擎已由进程 %1 运行，本程序不再启动引擎，开关只写入偏好设置");
    static inline const QString engineTakenOverLog =
        QStringLiteral("🔍 运行自动联网引擎的进程已退出，本程序接管引擎");

    /// How often a tray application without the engine looks whether the holder went away.
    static constexpr std::chrono::milliseconds engineLockPollInterval{2000};
    static constexpr std::chrono::milliseconds engineLockRetryInterval{200};

    /// `action`: one of the desktop entry's actions to perform once running ("quick-login",
    /// "show-main-window", "about", "quit"), or empty.
    explicit NetlatchApp(const QString &action = {});
    ~NetlatchApp() override;

    /// Runs the application until it quits; returns the exit status. When another instance already
    /// runs in this session, hands it the launch (to come forward, or the action) and returns 0 at once.
    int exec();

private:
    void applicationDidFinishLaunching();
    void startEngine();
    void tryTakeEngineLock();
    void performAction(const QString &name);

    QString m_action;
    std::unique_ptr<FreedesktopApplication> m_service;
    InstanceLock m_engineLock;
    /// Retries the engine lock, quickly during start-up and then slowly while another process holds it.
    QTimer m_engineLockTimer;
    int m_engineLockRetries = 0;
    std::unique_ptr<UnixSignalWatcher> m_signalWatcher;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<AutoLoginSwitchWatcher> m_switchWatcher;
    AppDelegate *m_delegate = nullptr;
};
