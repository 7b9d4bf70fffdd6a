#include "app/NetlatchApp.h"

#include "autologin/AutoLoginManager.h"
#include "autologin/AutoLoginSwitchWatcher.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "common/UnixSignalWatcher.h"
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

#include <csignal>

namespace {
// Action names of the desktop entry's actions, as org.freedesktop.Application receives them.
const QString quickLoginAction = QStringLiteral("quick-login");
const QString showMainWindowAction = QStringLiteral("show-main-window");
const QString aboutAction = QStringLiteral("about");
const QString quitAction = QStringLiteral("quit");
const QString engineLockFailedLog =
    QStringLiteral("⚠️ 无法取得自动联网锁，本程序不启动自己的引擎: ");
} // namespace

NetlatchApp::NetlatchApp(const QString &action)
    : m_action(action),
      m_service(std::make_unique<FreedesktopApplication>(
          QDBusConnection::sessionBus(), QStringList{quickLoginAction, showMainWindowAction, aboutAction, quitAction})),
      m_engineLock(AutoLoginManager::instanceLockName)
{
    connect(&m_engineLockTimer, &QTimer::timeout, this, &NetlatchApp::tryTakeEngineLock);
}

NetlatchApp::~NetlatchApp()
{
    // The tray item, the main window and the adapters they use hold the context: they go before it,
    // newest first.
    m_engineLockTimer.stop();
    const QObjectList children = this->children();
    for (auto child = children.crbegin(); child != children.crend(); ++child)
        delete *child;
    StatusBarManager::setShared(nullptr);
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
    // The desktop ends the session with SIGTERM (SIGHUP when the terminal goes): the same quit as 退出程序.
    m_signalWatcher = std::make_unique<UnixSignalWatcher>(std::initializer_list<int>{SIGTERM, SIGINT, SIGHUP});
    connect(m_signalWatcher.get(), &UnixSignalWatcher::received, this,
            [] { StatusBarManager::shared().quitApplication(); });
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
    // One engine per user: two would sign in twice after every wake. A holder may be a process that
    // is ending or only looking, so the lock is tried again for a moment, never waited for.
    m_engineLockRetries = int(InstanceLock::startPatience / engineLockRetryInterval);
    m_engineLockTimer.start(engineLockRetryInterval);
    tryTakeEngineLock();
}

void NetlatchApp::tryTakeEngineLock()
{
    if (!m_engineLock.tryLock()) {
        const qint64 owner = m_engineLock.ownerPid();
        if (m_engineLockRetries > 0 && --m_engineLockRetries == 0) {
            Log::write(owner > 0 ? engineElsewhereLog.arg(owner) : engineLockFailedLog + m_engineLock.errorString());
            // From now on the engine is taken over when its holder goes away.
            m_engineLockTimer.start(engineLockPollInterval);
        }
        if (owner != m_context->engineOwnerPid) {
            m_context->engineOwnerPid = owner;
            m_context->notifications.post(Notifications::EngineOwnerChanged);
        }
        return;
    }
    m_engineLockTimer.stop();
    if (m_engineLockRetries == 0)
        Log::write(engineTakenOverLog);
    AutoLoginManager &engine = AppServices::autoLoginManager();
    engine.checkLocationPermission();
    m_context->autoLogin = &engine;
    m_context->engineOwnerPid = 0;
    m_switchWatcher = std::make_unique<AutoLoginSwitchWatcher>(m_context->preferences, engine);
    if (m_delegate)
        m_delegate->setEngineEvents(&AppServices::systemEvents());
    m_context->notifications.post(Notifications::EngineOwnerChanged);
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
}
