#include "gui/shell/AppDelegate.h"

#include "autologin/SystemEvents.h"
#include "common/Log.h"
#include "desktop/DockIconManager.h"
#include "desktop/VersionManager.h"
#include "gui/AppContext.h"
#include "gui/shell/MainWindowView.h"
#include "gui/shell/WindowFront.h"
#include "store/Preferences.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

AppDelegate::AppDelegate(AppContext &context, DockIconManager &dockIcon, double durationScale,
                         QObject *parent)
    : QObject(parent), m_context(context), m_dockIcon(dockIcon), m_durationScale(durationScale)
{
}

std::chrono::milliseconds AppDelegate::scaled(std::chrono::milliseconds duration) const
{
    return std::chrono::milliseconds(std::llround(double(duration.count()) * m_durationScale));
}

AppDelegate::~AppDelegate()
{
    for (const NotificationCenter::Token token : std::as_const(m_resizeObservers))
        m_context.notifications.removeObserver(token);
    delete m_mainWindow;
}

QSize AppDelegate::initialWindowSize(bool updateLogDue, bool welcomeShown, bool credentialsSetUp)
{
    if (updateLogDue)
        return updateLogSize;
    if (!welcomeShown)
        return welcomeSize;
    if (!credentialsSetUp)
        return credentialSetupSize;
    return settingsSize;
}

void AppDelegate::createMainWindow()
{
    auto *window = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                            Qt::WindowMinimizeButtonHint);
    window->setObjectName(QStringLiteral("mainWindow"));
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new MainWindowView(m_context, window));

    const QSize size =
        initialWindowSize(m_context.versions.shouldShowUpdateLog(),
                          m_context.preferences.boolValue(PreferenceKeys::hasShownWelcome),
                          m_context.preferences.boolValue(PreferenceKeys::hasSetupCredentials));
    window->setWindowTitle(windowTitle);
    window->setFixedSize(size);
    window->winId(); // the frame's margins are known once the native window exists
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    m_mainWindow = window;
    window->installEventFilter(this);

    if (m_resizeObservers.isEmpty())
        observeResizeRequests();
    if (m_windowCreated)
        m_windowCreated(window);
    bringForward(window);
}

void AppDelegate::observeResizeRequests()
{
    const std::pair<const QString &, QSize> resizes[] = {
        {Notifications::ResizeWindowForSettings, settingsSize},
        {Notifications::ResizeWindowForWelcome, welcomeSize},
        {Notifications::ResizeWindowForCredentialSetup, credentialSetupSize}};
    for (const auto &[name, target] : resizes) {
        m_resizeObservers << m_context.notifications.addObserver(
            name, [this, target](const QVariantMap &) { resizeWindow(target.width(), target.height()); });
    }
}

void AppDelegate::bringForward(QWidget *window)
{
    WindowFront::bringForward(window);
    QTimer::singleShot(scaled(showDockDelay), this, [this] { m_dockIcon.updateDockIconVisibility(); });
}

void AppDelegate::resizeWindow(double width, double height)
{
    // The flag is read when the request arrives: requests of one turn all pass, later ones wait.
    if (m_isResizingWindow) {
        Log::write(resizeBusyLog);
        return;
    }
    QTimer::singleShot(0, this, [this, width, height] {
        QWidget *window = m_mainWindow;
        if (!window || !window->windowHandle()) {
            Log::write(resizeInvalidLog);
            return;
        }
        const QSize size(qRound(width), qRound(height));
        // A hidden window takes its new size when it is shown again, however that happens.
        if (!window->isVisible()) {
            m_pendingSize = size;
            return;
        }
        m_isResizingWindow = true;
        applySize(window, size);
        QTimer::singleShot(scaled(resizeGuard), this, [this] { m_isResizingWindow = false; });
    });
}

void AppDelegate::applySize(QWidget *window, QSize size)
{
    const QRect frame = window->frameGeometry();
    const QSize newFrame = size + (frame.size() - window->size());
    const QPoint origin(frame.x() + int(std::lround((frame.width() - newFrame.width()) * 0.5)),
                        frame.y() + int(std::lround((frame.height() - newFrame.height()) * 0.5)));
    window->setFixedSize(size);
    window->move(origin);
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_mainWindow && event->type() == QEvent::Show && m_pendingSize.isValid()) {
        QTimer::singleShot(0, this, [this] {
            if (m_mainWindow && m_pendingSize.isValid())
                applySize(m_mainWindow, std::exchange(m_pendingSize, QSize()));
        });
    }
    return QObject::eventFilter(watched, event);
}

bool AppDelegate::applicationShouldHandleReopen()
{
    m_dockIcon.updateDockIconVisibility();
    if (m_mainWindow)
        bringForward(m_mainWindow);
    else
        createMainWindow();
    return true;
}

void AppDelegate::applicationDidBecomeActive()
{
    QTimer::singleShot(scaled(activeDockDelay), this, [this] { m_dockIcon.updateDockIconVisibility(); });
}

void AppDelegate::observeApplicationActivation(SystemEvents *engineEvents)
{
    m_engineEvents = engineEvents;
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            return;
        applicationDidBecomeActive();
        if (m_engineEvents)
            Q_EMIT m_engineEvents->applicationDidBecomeActive();
    });
}
