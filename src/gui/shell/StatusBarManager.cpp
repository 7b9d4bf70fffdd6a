#include "gui/shell/StatusBarManager.h"

#include "auth/SignInAttempt.h"
#include "common/Log.h"
#include "desktop/TrayHost.h"
#include "gui/AppContext.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/shell/TraySymbol.h"
#include "gui/shell/WindowFront.h"
#include "store/KeychainHelper.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTime>

namespace {
const QString startTitle = QStringLiteral("正在登录");
const QString startBody = QStringLiteral("正在连接校园网...");
const QString successTitle = QStringLiteral("登录成功");
const QString successBody = QStringLiteral("校园网连接成功");
const QString failureTitle = QStringLiteral("登录失败");
const QString defaultFailureBody = QStringLiteral("登录失败");
const QString mainWindowTitle = QStringLiteral("Netlatch");
const QString settingsWindowTitle = QStringLiteral("设置");
constexpr QSize fallbackWindowSize(700, 500);
const QString toolTipLine = QStringLiteral("%1\n%2（%3）");
const QString toolTipFailureLine = QStringLiteral("%1\n%2（%3）：%4");
// A portal's failure message is the portal's text: the tooltip shows its start.
constexpr qsizetype toolTipMessageLength = 80;

} // namespace

StatusBarManager::StatusBarManager(AppContext &context, TrayHost &trayHost, QObject *parent)
    : QObject(parent), m_context(context)
{
    QPointer<StatusBarManager> self(this);
    trayHost.whenAvailable([self] {
        if (self)
            self->setupStatusBar();
    });
    // Every sign-in's outcome, the engine's and the settings window's too; posted from any thread.
    m_outcomeObservers << m_context.notifications.addObserver(Notifications::LoginSuccess, [self](const QVariantMap &) {
        QMetaObject::invokeMethod(self, [self] { self->signInEnded(true, {}); }, Qt::QueuedConnection);
    });
    m_outcomeObservers << m_context.notifications.addObserver(Notifications::LoginFailed, [self](const QVariantMap &info) {
        const QString message = info.value(Notifications::MessageKey).toString();
        QMetaObject::invokeMethod(self, [self, message] { self->signInEnded(false, message); }, Qt::QueuedConnection);
    });
}

StatusBarManager::~StatusBarManager()
{
    for (const NotificationCenter::Token token : std::as_const(m_outcomeObservers))
        m_context.notifications.removeObserver(token);
    delete m_fallbackWindow;
    delete m_statusItem;
    delete m_menu;
}

void StatusBarManager::setupStatusBar()
{
    m_menu = new QMenu;
    m_menu->setObjectName(QStringLiteral("statusBarMenu"));
    m_entries = {addEntry(quickLoginTitle, &StatusBarManager::quickLogin)};
    m_menu->addSeparator();
    m_entries << addEntry(showMainWindowTitle, &StatusBarManager::showMainWindow)
              << addEntry(aboutTitle, &StatusBarManager::showAbout);
    m_menu->addSeparator();
    m_entries << addEntry(quitTitle, &StatusBarManager::quitApplication);
    // A tray that exports the menu (dbusmenu) numbers its entries once: hosts that kept the layout click
    // those numbers later. So the same entries stay and are refreshed whenever the menu opens.
    connect(m_menu, &QMenu::aboutToShow, this, &StatusBarManager::refreshMenu);
    refreshMenu();

    m_statusItem = new QSystemTrayIcon(this);
    m_statusItem->setToolTip(m_toolTip.isEmpty() ? accessibleName : m_toolTip);
    m_statusItem->setContextMenu(m_menu);
    connect(m_statusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    showMenu();
            });
    m_statusItem->setIcon(TraySymbol::icon());
    m_statusItem->show();
}

QAction *StatusBarManager::addEntry(const QString &title, void (StatusBarManager::*action)())
{
    QAction *entry = m_menu->addAction(title);
    connect(entry, &QAction::triggered, this, action);
    return entry;
}

void StatusBarManager::refreshMenu()
{
    const QStringList titles{quickLoginTitle, showMainWindowTitle, aboutTitle, quitTitle};
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        m_entries[i]->setText(titles[i]);
        m_entries[i]->setEnabled(true);
    }
    m_entries.last()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void StatusBarManager::showMenu()
{
    m_menu->popup(QCursor::pos());
}

void StatusBarManager::quickLogin()
{
    // A burst of clicks, hot-key presses or D-Bus calls signs in once.
    if (m_quickLoginRunning) {
        Log::write(quickLoginBusyLog);
        return;
    }
    m_quickLoginRunning = true;
    m_context.keychain.loadCredentials(this, [this](const KeychainHelper::Read &read) {
        const Credentials &credentials = read.credentials;
        if (!credentials.isUsable()) {
            // The general pane reads the account again and says why it could not.
            m_quickLoginRunning = false;
            showMainWindow();
            return;
        }
        BannerCenter &banners = m_context.banners;
        showNotification(banners, startTitle, startBody);

        // The attempt is the tray's child, so that its observers go with the tray, and it goes once it
        // has reported.
        auto *attempt = new SignInAttempt(m_context.authService, m_context.notifications, this);
        const auto reportOutcome = [this, attempt, &banners](const SignInAttempt::Outcome &outcome) {
            delete attempt;
            m_quickLoginRunning = false;
            if (outcome.succeeded)
                showNotification(banners, successTitle, successBody);
            else
                showNotification(banners, failureTitle, outcome.message.value_or(defaultFailureBody),
                                 [self = QPointer<StatusBarManager>(this)] {
                                     if (self)
                                         self->showFailureInWindow();
                                 });
        };
        attempt->start(*credentials.username, *credentials.password, reportOutcome);
    });
}

void StatusBarManager::signInEnded(bool succeeded, const QString &message)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    m_toolTip = succeeded ? toolTipLine.arg(accessibleName, successTitle, time)
                          : toolTipFailureLine.arg(accessibleName, failureTitle, time,
                                                   message.isEmpty() ? defaultFailureBody
                                                                     : message.simplified().left(toolTipMessageLength));
    if (m_statusItem)
        m_statusItem->setToolTip(m_toolTip);
}

void StatusBarManager::showFailureInWindow()
{
    showMainWindow();
    m_context.notifications.post(Notifications::SwitchToGeneralSection);
}

void StatusBarManager::showMainWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->windowTitle() == mainWindowTitle || window->windowTitle() == settingsWindowTitle) {
            WindowFront::bringForward(window);
            return;
        }
    }
    auto *window = new SettingsWindowView(m_context);
    m_fallbackWindow = window;
    window->setWindowTitle(mainWindowTitle);
    window->setFixedSize(fallbackWindowSize);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint);
    if (m_windowCreated)
        m_windowCreated(window);
    window->move(window->screen()->availableGeometry().center() - window->rect().center());
    WindowFront::bringForward(window);
}

void StatusBarManager::showAbout()
{
    showMainWindow();
    m_context.notifications.post(Notifications::SwitchToAboutSection);
}

void StatusBarManager::quitApplication()
{
    QCoreApplication::quit();
}
