#include "FakeSystemEvents.h"
#include "FakeTaskbarPresence.h"
#include "LogCapture.h"
#include "TestAppContext.h"

#include "desktop/DockIconManager.h"
#include "gui/shell/AppDelegate.h"

#include <QApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

/// The main window as the delegate makes and moves it, on the offscreen platform: the resize guard with
/// the centre kept, and the engine told of the application's activation. (Reopening after a close or a
/// minimise, and a screen change meanwhile, run on a real desktop in tests/app/tst_desktop.cpp.)
namespace {
// The window's own warnings among the captured lines (the screens log their flow steps too).
QStringList windowLines(const LogCapture &log)
{
    return log.lines().filter(QRegularExpression(u"^⚠️ 窗口"_s));
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    // Wide enough that a loaded machine never sees the 0.1 s guard run out between two steps.
    static constexpr double GuardScale = 15.0;

    std::unique_ptr<TestAppContext> m_app;
    std::unique_ptr<FakeTaskbarPresence> m_taskbar;
    std::unique_ptr<DockIconManager> m_dock;
    std::unique_ptr<AppDelegate> m_delegate;

private Q_SLOTS:
    void init()
    {
        m_app = std::make_unique<TestAppContext>();
        m_taskbar = std::make_unique<FakeTaskbarPresence>();
        m_dock = std::make_unique<DockIconManager>(m_app->preferences, *m_taskbar);
        m_delegate = std::make_unique<AppDelegate>(m_app->context(), *m_dock, GuardScale);
    }

    void cleanup()
    {
        m_delegate.reset();
        m_dock.reset();
        m_app.reset();
    }

    // The window opens centred, at the size of its first screen, and keeps its centre when resized.
    // Two requests of one turn both pass (the flag is set when the first one runs); a third while the
    // guard holds is dropped with its line; once the guard is over a request passes again.
    void resizeGuard()
    {
        LogCapture log;
        m_app->preferences.setText(PreferenceKeys::lastShownVersion, VersionManager::currentVersion);
        m_app->preferences.setBool(PreferenceKeys::hasShownWelcome, true);
        m_app->preferences.setBool(PreferenceKeys::hasSetupCredentials, true);
        m_delegate->createMainWindow();
        QWidget *window = m_delegate->mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto centre = [window] { return QRectF(window->frameGeometry()).center(); };
        QCOMPARE(centre(), QRectF(window->screen()->availableGeometry()).center());
        QCOMPARE(window->size(), QSize(700, 500)); // the settings
        QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable by hand
        m_app->notifications.post(Notifications::ResizeWindowForWelcome);
        m_app->notifications.post(Notifications::ResizeWindowForCredentialSetup);
        QTRY_COMPARE(window->size(), QSize(500, 500));
        QCOMPARE(centre(), QRectF(window->screen()->availableGeometry()).center()); // kept where it was
        QVERIFY(m_delegate->isResizingWindow());
        QCOMPARE(windowLines(log), QStringList());

        m_app->notifications.post(Notifications::ResizeWindowForSettings);
        QCOMPARE(windowLines(log), QStringList{AppDelegate::resizeBusyLog});
        QTRY_VERIFY_WITH_TIMEOUT(!m_delegate->isResizingWindow(), 20000);
        QCOMPARE(window->size(), QSize(500, 500));
        m_app->notifications.post(Notifications::ResizeWindowForSettings);
        QTRY_COMPARE(window->size(), QSize(700, 500));
    }

    // The application becoming active (as Qt reports it) reaches the engine and, a moment later,
    // re-applies the taskbar choice.
    void activationReachesTheEngine()
    {
        FakeSystemEvents events;
        QSignalSpy engine(&events, &SystemEvents::applicationDidBecomeActive);
        m_delegate->observeApplicationActivation(&events);
        m_taskbar->applications = 0;
        Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
        Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(engine.count(), 1);
        QTRY_COMPARE(m_taskbar->applications, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
