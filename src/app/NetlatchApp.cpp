#include "app/NetlatchApp.h"

#include "autologin/AutoLoginManager.h"
#include "autologin/AutoLoginSwitchWatcher.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "desktop/DockIconManager.h"
#include "desktop/VersionManager.h"
#include "desktop/WelcomeManager.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/StatusBarManager.h"
#include "gui/x11/QtKeyDownMonitor.h"
#include "gui/x11/X11HotKeyService.h"
#include "gui/x11/X11TaskbarPresence.h"
#include "platform/AppServices.h"
#include "platform/linux/FreedesktopApplication.h"
#include "platform/linux/StatusNotifierHostWait.h"
#include "shortcuts/GlobalShortcutsManager.h"
#include "store/Preferences.h"

#include <QApplication>
#include <QTextStream>

namespace {
// Action names of the desktop entry's actions, as org.freedesktop.Application receives them.
const QString quickLoginAction = QStringLiteral("quick-login");
const QString showMainWindowAction = QStringLiteral("show-main-window");
const QString aboutAction = QStringLiteral("about");
const QString quitAction = QStringLiteral("quit");
const QString unknownActionLog = QStringLiteral("⚠️ 未知的操作: ");
const QString engineLockFailedLog =
    QStringLiteral("⚠️ 无法取得自动联网锁，本程序不启动自己的引擎: ");
} // namespace

NetlatchApp::NetlatchApp(const QString &action)
    : m_action(action), m_service(std::make_unique<FreedesktopApplication>(QDBusConnection::sessionBus())),
      m_engineLock(AutoLoginManager::instanceLockName)
{
}

NetlatchApp::~NetlatchApp()
{
    // The delegate is a child, so it would outlive the members; it and its window use the context.
    delete m_delegate;
}

int NetlatchApp::exec()
{
    if (!m_service->registerService() && QDBusConnection::sessionBus().isConnected()) {
        if (m_service->activateRunningInstance(m_action))
            return 0;
        QTextStream(stderr) << "netlatch: another instance owns " << FreedesktopApplication::applicationId
                            << " on the session bus but does not answer\n";
        return 1;
    }
    applicationDidFinishLaunching();
    connect(m_service.get(), &FreedesktopApplication::activateRequested, m_delegate,
            &AppDelegate::applicationShouldHandleReopen);
    connect(m_service.get(), &FreedesktopApplication::actionRequested, this, &NetlatchApp::performAction);
    if (!m_action.isEmpty())
        performAction(m_action);
    const int status = QApplication::exec();
    AppServices::preferences().sync();
    return status;
}

void NetlatchApp::applicationDidFinishLaunching()
{
    StatusBarManager::requestNotificationPermission(AppServices::bannerCenter());
    VersionManager &versions = AppServices::versionManager();
    StatisticsManager &statistics = AppServices::statisticsManager();
    m_context.reset(new AppContext{AppServices::preferences(), AppServices::keychain(),
                                   AppServices::authService(), statistics, AppServices::networkProbe(),
                                   NotificationCenter::defaultCenter(), AppServices::bannerCenter(), versions,
                                   AppServices::welcomeManager(), AppServices::launchAtLogin()});
    startEngine();

    auto *taskbar = new X11TaskbarPresence(QProcessEnvironment::systemEnvironment(), this);
    DockIconManager::setShared(new DockIconManager(m_context->preferences, *taskbar));
    m_context->dockIconSupported = DockIconManager::shared().canHideDockIcon();
    m_context->setDockIconHidden = [](bool hidden) {
        hidden ? DockIconManager::shared().hideDockIcon() : DockIconManager::shared().showDockIcon();
    };
    m_delegate = new AppDelegate(*m_context, DockIconManager::shared(), 1.0, this);
    m_delegate->setWindowCreatedHandler([taskbar](QWidget *window) { taskbar->addWindow(window); });

    auto *trayHost = new StatusNotifierHostWait(QDBusConnection::sessionBus(),
                                                StatusNotifierHostWait::defaultPatience, this);
    StatusBarManager::setShared(new StatusBarManager(*m_context, *trayHost, this));
    StatusBarManager::shared().setWindowCreatedHandler(
        [taskbar](QWidget *window) { taskbar->addWindow(window); });
    m_delegate->setStatusBarManager(&StatusBarManager::shared());

    // Registers the stored shortcuts over X11 key grabs; lives as long as the process.
    GlobalShortcutsManager::setShared(
        new GlobalShortcutsManager(m_context->preferences, *new X11HotKeyService, *new QtKeyDownMonitor));
    GlobalShortcutsManager &shortcuts = GlobalShortcutsManager::shared();
    connect(&shortcuts, &GlobalShortcutsManager::quickLoginPressed, this,
            [] { StatusBarManager::shared().quickLogin(); });
    connect(&shortcuts, &GlobalShortcutsManager::showWindowPressed, this,
            [] { StatusBarManager::shared().showMainWindow(); });
    m_context->shortcuts = &shortcuts;

    DockIconManager::shared().updateDockIconVisibility();
    m_delegate->createMainWindow();
    m_delegate->observeApplicationActivation(m_context->autoLogin ? &AppServices::systemEvents() : nullptr);
}

void NetlatchApp::startEngine()
{
    // One engine per user: two would sign in twice after every wake.
    if (!m_engineLock.tryLock()) {
        m_context->engineOwnerPid = m_engineLock.ownerPid();
        Log::write(m_engineLock.ownerPid() > 0 ? engineElsewhereLog.arg(m_engineLock.ownerPid())
                                               : engineLockFailedLog + m_engineLock.errorString());
        return;
    }
    AutoLoginManager &engine = AppServices::autoLoginManager();
    engine.checkLocationPermission();
    m_context->autoLogin = &engine;
    m_switchWatcher = std::make_unique<AutoLoginSwitchWatcher>(m_context->preferences, engine);
}

void NetlatchApp::performAction(const QString &name)
{
    StatusBarManager &statusBar = StatusBarManager::shared();
    if (name == quickLoginAction)
        statusBar.quickLogin();
    else if (name == showMainWindowAction)
        statusBar.showMainWindow();
    else if (name == aboutAction)
        statusBar.showAbout();
    else if (name == quitAction)
        statusBar.quitApplication();
    else
        Log::write(unknownActionLog + name);
}
