#include "gui/shell/MainWindowView.h"

#include "common/Log.h"
#include "desktop/VersionManager.h"
#include "desktop/WelcomeManager.h"
#include "gui/AppContext.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/shell/CredentialSetupView.h"
#include "gui/shell/UpdateLogView.h"
#include "gui/shell/WelcomeView.h"
#include "gui/widgets/Theme.h"
#include "store/Preferences.h"

#include <QVBoxLayout>

namespace {
const QString initLog = QStringLiteral(
    "🔍 MainWindowView init - hasShownWelcome: %1, shouldShowUpdateLog: %2, hasSetupCredentials: %3");
const QString updateLogChangedLog =
    QStringLiteral("🔍 MainWindowView: onChange(of: showUpdateLog) 被触发，newValue: false");
const QString updateLogClosedReceivedLog = QStringLiteral("🔍 MainWindowView: 收到 UpdateLogClosed 通知");
const QString welcomeChangedLog =
    QStringLiteral("🔍 MainWindowView: onChange(of: showWelcome) 被触发，newValue: false");
const QString setupChangedLog =
    QStringLiteral("🔍 MainWindowView: onChange(of: showCredentialSetup) 被触发，newValue: false");
const QString setupCompletedReceivedLog =
    QStringLiteral("🔍 MainWindowView: 收到 CredentialSetupCompleted 通知");
const QString updateLogClosedLog = QStringLiteral("🔍 更新日志关闭 - hasShownWelcome: %1");
const QString preparingWelcomeLog = QStringLiteral("🔍 准备显示欢迎界面");
const QString welcomeSetLog = QStringLiteral("🔍 showWelcome 已设置为 true，当前值: %1");
const QString welcomeClosedLog = QStringLiteral("🔍 欢迎界面关闭 - hasSetupCredentials: %1");
const QString preparingSetupLog = QStringLiteral("🔍 准备显示凭据设置界面");
const QString setupSetLog = QStringLiteral("🔍 showCredentialSetup 已设置为 true，当前值: %1");
const QString showingSettingsLog = QStringLiteral("🔍 直接显示设置界面");

QString text(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

MainWindowView::MainWindowView(AppContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("mainWindowView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    const bool hasShownWelcome = m_context.welcome.hasShownWelcome();
    const bool shouldShowUpdateLog = m_context.versions.shouldShowUpdateLog();
    const bool hasSetupCredentials = m_context.preferences.boolValue(PreferenceKeys::hasSetupCredentials);
    Log::write(initLog.arg(text(hasShownWelcome), text(shouldShowUpdateLog), text(hasSetupCredentials)));
    m_showUpdateLog = shouldShowUpdateLog;
    m_showWelcome = !hasShownWelcome && !shouldShowUpdateLog;
    m_showCredentialSetup = hasShownWelcome && !shouldShowUpdateLog && !hasSetupCredentials;
    m_screen = screenFromFlags();
    m_screenWidget = makeScreen(m_screen);
    layout->addWidget(m_screenWidget);

    m_updateLogObserver =
        m_context.notifications.addObserver(Notifications::UpdateLogClosed, [this](const QVariantMap &) {
            Log::write(updateLogClosedReceivedLog);
            handleUpdateLogClosed();
        });
    m_setupObserver = m_context.notifications.addObserver(Notifications::CredentialSetupCompleted,
                                                          [this](const QVariantMap &) {
                                                              Log::write(setupCompletedReceivedLog);
                                                              handleCredentialSetupClosed();
                                                          });
}

MainWindowView::~MainWindowView()
{
    m_context.notifications.removeObserver(m_updateLogObserver);
    m_context.notifications.removeObserver(m_setupObserver);
}

QSize MainWindowView::screenSize(Screen screen)
{
    switch (screen) {
    case Screen::UpdateLog:
        return {600, 650};
    case Screen::Welcome:
        return {600, 600};
    case Screen::CredentialSetup:
        return {500, 500};
    case Screen::Settings:
        break;
    }
    return {700, 500};
}

QSize MainWindowView::sizeHint() const
{
    return screenSize(m_screen);
}

// A flag turning false runs its step on the next turn, after the change has taken effect, as a
// change observer would; turning true only brings its screen. Every step runs twice (from the flag and
// from the notification), so a step may still be queued when the user has already moved on: a screen
// that was closed is never raised again.
bool MainWindowView::changeFlag(bool &flag, bool show, Screen screen)
{
    if (flag == show || (show && isBehind(screen)))
        return false;
    flag = show;
    if (show)
        updateScreen();
    else
        m_closedScreens.insert(screen);
    return !show;
}

void MainWindowView::setShowUpdateLog(bool show)
{
    if (!changeFlag(m_showUpdateLog, show, Screen::UpdateLog))
        return;
    later([this] {
        Log::write(updateLogChangedLog);
        handleUpdateLogClosed();
    });
}

void MainWindowView::setShowWelcome(bool show)
{
    if (!changeFlag(m_showWelcome, show, Screen::Welcome))
        return;
    later([this] {
        Log::write(welcomeChangedLog);
        handleWelcomeClosed();
    });
}

void MainWindowView::setShowCredentialSetup(bool show)
{
    if (!changeFlag(m_showCredentialSetup, show, Screen::CredentialSetup))
        return;
    later([this] {
        Log::write(setupChangedLog);
        handleCredentialSetupClosed();
    });
}

void MainWindowView::handleUpdateLogClosed()
{
    const bool hasShownWelcome = m_context.welcome.hasShownWelcome();
    Log::write(updateLogClosedLog.arg(text(hasShownWelcome)));
    if (hasShownWelcome)
        return showNextScreen();
    if (isBehind(Screen::Welcome))
        return;
    Log::write(preparingWelcomeLog);
    m_context.notifications.post(Notifications::ResizeWindowForWelcome);
    later([this] {
        setShowWelcome(true);
        Log::write(welcomeSetLog.arg(text(m_showWelcome)));
    });
}

void MainWindowView::handleWelcomeClosed()
{
    const bool hasSetupCredentials = m_context.preferences.boolValue(PreferenceKeys::hasSetupCredentials);
    Log::write(welcomeClosedLog.arg(text(hasSetupCredentials)));
    if (hasSetupCredentials)
        return showNextScreen();
    prepareCredentialSetup();
}

void MainWindowView::showNextScreen()
{
    if (m_context.preferences.boolValue(PreferenceKeys::hasSetupCredentials))
        return showSettingsScreen();
    prepareCredentialSetup();
}

void MainWindowView::prepareCredentialSetup()
{
    if (isBehind(Screen::CredentialSetup))
        return;
    Log::write(preparingSetupLog);
    m_context.notifications.post(Notifications::ResizeWindowForCredentialSetup);
    later([this] {
        setShowCredentialSetup(true);
        Log::write(setupSetLog.arg(text(m_showCredentialSetup)));
    });
}

void MainWindowView::handleCredentialSetupClosed()
{
    showSettingsScreen();
}

void MainWindowView::showSettingsScreen()
{
    Log::write(showingSettingsLog);
    // The settings are built before the window grows (the resize runs a turn later): a window that grew
    // first would show its new area unpainted, black, for as long as they take to build.
    later([this] { updateScreen(); });
    m_context.notifications.post(Notifications::ResizeWindowForSettings);
}

// A step that would lead back to a screen already left (a late notification, or the first-run facts
// cleared while the settings show) neither resizes the window nor changes the screen.
bool MainWindowView::isBehind(Screen screen) const
{
    return screen < m_screen || m_closedScreens.contains(screen);
}

void MainWindowView::later(std::function<void()> step)
{
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

MainWindowView::Screen MainWindowView::screenFromFlags() const
{
    if (m_showUpdateLog)
        return Screen::UpdateLog;
    if (m_showWelcome)
        return Screen::Welcome;
    if (m_showCredentialSetup)
        return Screen::CredentialSetup;
    return Screen::Settings;
}

void MainWindowView::updateScreen()
{
    const Screen next = screenFromFlags();
    // The flow never goes back: a late or repeated step cannot bring an earlier screen again.
    if (next <= m_screen)
        return;
    m_screen = next;
    QWidget *previous = m_screenWidget;
    m_screenWidget = makeScreen(next);
    delete layout()->replaceWidget(previous, m_screenWidget); // the layout hands its old item over
    previous->hide();
    previous->deleteLater();
    m_screenWidget->show();
    Theme::fadeIn(m_screenWidget);
    updateGeometry();
    Q_EMIT currentScreenChanged(next);
}

QWidget *MainWindowView::makeScreen(Screen screen)
{
    QWidget *view = makeScreenView(screen);
    view->setFixedSize(screenSize(screen));
    return view;
}

QWidget *MainWindowView::makeScreenView(Screen screen)
{
    switch (screen) {
    case Screen::UpdateLog: {
        auto *view = new UpdateLogView(m_context, this);
        connect(view, &UpdateLogView::closed, this, [this] { setShowUpdateLog(false); });
        return view;
    }
    case Screen::Welcome: {
        auto *view = new WelcomeView(m_context, this);
        connect(view, &WelcomeView::finished, this, [this] { setShowWelcome(false); });
        return view;
    }
    case Screen::CredentialSetup: {
        auto *view = new CredentialSetupView(m_context, this);
        connect(view, &CredentialSetupView::completed, this, [this] { setShowCredentialSetup(false); });
        return view;
    }
    case Screen::Settings:
        break;
    }
    return new SettingsWindowView(m_context, this);
}
