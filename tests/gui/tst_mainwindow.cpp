#include "FakeSystemEvents.h"
#include "FakeTaskbarPresence.h"
#include "LogCapture.h"
#include "TestAppContext.h"

#include "desktop/DockIconManager.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/MainWindowView.h"

#include <QApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

/// The main window as the delegate makes and moves it, on the offscreen platform: its first size from
/// the stored facts, the resize guard, the centre kept, and the same window after a close.
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

    // The main window opened with these stored facts; nullptr when it never got on screen.
    QWidget *openWindow(bool updateLogSeen, bool welcomeShown, bool credentialsSetUp)
    {
        Preferences &preferences = m_app->preferences;
        preferences.setText(PreferenceKeys::lastShownVersion,
                            updateLogSeen ? VersionManager::currentVersion : u"1.0"_s);
        preferences.setBool(PreferenceKeys::hasShownWelcome, welcomeShown);
        preferences.setBool(PreferenceKeys::hasSetupCredentials, credentialsSetUp);
        m_delegate->createMainWindow();
        QWidget *window = m_delegate->mainWindow();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

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

    void firstSizeFromTheStoredFacts_data()
    {
        QTest::addColumn<bool>("updateLogSeen");
        QTest::addColumn<bool>("welcomeShown");
        QTest::addColumn<bool>("credentialsSetUp");
        QTest::addColumn<QSize>("size");
        QTest::newRow("first launch: update log") << false << false << false << QSize(600, 650);
        QTest::newRow("update log seen: welcome") << true << false << false << QSize(600, 600);
        QTest::newRow("welcome seen: credential setup") << true << true << false << QSize(500, 500);
        QTest::newRow("everything done: settings") << true << true << true << QSize(700, 500);
    }

    void firstSizeFromTheStoredFacts()
    {
        QFETCH(bool, updateLogSeen);
        QFETCH(bool, welcomeShown);
        QFETCH(bool, credentialsSetUp);
        QFETCH(QSize, size);
        QWidget *window = openWindow(updateLogSeen, welcomeShown, credentialsSetUp);
        QVERIFY(window);
        QCOMPARE(window->size(), size);
        QCOMPARE(window->minimumSize(), window->maximumSize()); // not resizable
        QCOMPARE(QRectF(window->frameGeometry()).center(),
                 QRectF(window->screen()->availableGeometry()).center());
        // A resize keeps the centre where it was.
        const QPoint origin = window->frameGeometry().topLeft();
        m_delegate->resizeWindow(500, 500);
        QTRY_COMPARE(window->size(), QSize(500, 500));
        QCOMPARE(window->frameGeometry().topLeft(),
                 origin + QPoint(size.width() - 500, size.height() - 500) / 2);
    }

    // Two requests of one turn both pass (the flag is set when the first one runs); a third while
    // the guard holds is dropped with its line; once the guard is over a request passes again.
    void resizeGuard()
    {
        LogCapture log;
        QWidget *window = openWindow(true, true, true);
        QVERIFY(window);
        m_app->notifications.post(Notifications::ResizeWindowForWelcome);
        m_app->notifications.post(Notifications::ResizeWindowForCredentialSetup);
        QTRY_COMPARE(window->size(), QSize(500, 500));
        QVERIFY(m_delegate->isResizingWindow());
        QCOMPARE(windowLines(log), QStringList());

        m_app->notifications.post(Notifications::ResizeWindowForSettings);
        QCOMPARE(windowLines(log), QStringList{AppDelegate::resizeBusyLog});
        QTRY_VERIFY_WITH_TIMEOUT(!m_delegate->isResizingWindow(), 20000);
        QCOMPARE(window->size(), QSize(500, 500));
        m_app->notifications.post(Notifications::ResizeWindowForSettings);
        QTRY_COMPARE(window->size(), QSize(700, 500));
    }

    // Closing hides the window; a screen change meanwhile takes effect at the next show (finishing the
    // setup from the tray must not leave the settings cut off); reopening shows the same window, also
    // from minimised.
    void closeResizeReopen()
    {
        QWidget *window = openWindow(true, true, false);
        QVERIFY(window);
        auto *view = window->findChild<MainWindowView *>();
        QVERIFY(window->close());
        m_app->notifications.post(Notifications::ResizeWindowForSettings);
        QCoreApplication::processEvents();

        window->showMinimized();
        QVERIFY(m_delegate->applicationShouldHandleReopen());
        QCOMPARE(m_delegate->mainWindow(), window);
        QVERIFY(window->isVisible() && !window->isMinimized());
        QTRY_COMPARE(window->size(), QSize(700, 500));
        QCOMPARE(window->findChild<MainWindowView *>(), view);
        QCOMPARE(QApplication::topLevelWidgets().count(window), 1);
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
