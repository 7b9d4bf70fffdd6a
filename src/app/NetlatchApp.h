#pragma once

#include "common/InstanceLock.h"
#include "gui/AppContext.h"

#include <QObject>

#include <memory>

class AppDelegate;
class AutoLoginSwitchWatcher;
class FreedesktopApplication;

/// The tray application's composition root: one instance per session, then the start-up in its
/// fixed order over the production instances of AppServices, the main window and the tray item.
class NetlatchApp : public QObject
{
    Q_OBJECT

public:
    static inline const QString engineElsewhereLog =
        QStringLiteral("🔍 自动联网引擎已由进程 %1 运行，本程序不再启动引擎，开关只写入偏好设置");

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
    void performAction(const QString &name);

    QString m_action;
    std::unique_ptr<FreedesktopApplication> m_service;
    InstanceLock m_engineLock;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<AutoLoginSwitchWatcher> m_switchWatcher;
    AppDelegate *m_delegate = nullptr;
};
