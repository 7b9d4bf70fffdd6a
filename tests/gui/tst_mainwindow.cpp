// The main window on the offscreen platform. The first-run flow: the start screen from the stored
// facts, whole walks to the settings with the resize notifications on the way, the account check
// against a local portal. The window's resize guard and the application's activation, and the bundled
// pictures and symbols. (A screen following the desktop's switch to dark: tst_settingswindow.)
#include "FakeSystemEvents.h"
#include "FakeTaskbarPresence.h"
#include "LogCapture.h"
#include "TestAppContext.h"

#include "desktop/DockIconManager.h"
#include "gui/shell/AppDelegate.h"
#include "gui/shell/CredentialSetupView.h"
#include "gui/shell/MainWindowView.h"
#include "gui/shell/WelcomeView.h"
#include "gui/widgets/Artwork.h"
#include "gui/widgets/SymbolIcon.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTest>

using Screen = MainWindowView::Screen;

namespace {
constexpr int signInWaitMs = 20000;
const QString absent; // a null "lastShownVersion": never stored

// The main window's root view over the test context, with every resize notification recorded together
// with the screen that was current when it was posted.
struct Flow
{
    TestAppContext test;
    QList<Screen> resizes;
    QList<Screen> shownWhenResized;
    std::unique_ptr<MainWindowView> view;

    Flow(const QString &lastShown, bool welcomeDone, bool accountDone)
    {
        if (!lastShown.isNull())
            test.preferences.setText(PreferenceKeys::lastShownVersion, lastShown);
        test.preferences.setBool(PreferenceKeys::hasShownWelcome, welcomeDone);
        test.preferences.setBool(PreferenceKeys::hasSetupCredentials, accountDone);
        for (const auto &[name, screen] :
             {std::pair{Notifications::ResizeWindowForWelcome, Screen::Welcome},
              std::pair{Notifications::ResizeWindowForCredentialSetup, Screen::CredentialSetup},
              std::pair{Notifications::ResizeWindowForSettings, Screen::Settings}}) {
            test.notifications.addObserver(name, [this, screen = screen](const QVariantMap &) {
                resizes.append(screen);
                shownWhenResized.append(view->currentScreen());
            });
        }
    }

    void open()
    {
        view = std::make_unique<MainWindowView>(test.context());
        view->show();
    }

    template <typename T> T *find(const QString &name) const { return view->findChild<T *>(name); }

    void click(const QString &button) const
    {
        QAbstractButton *found = find<QAbstractButton>(button);
        QVERIFY2(found, qPrintable(button));
        QTest::mouseClick(found, Qt::LeftButton);
    }

    void type(const QString &field, const QString &text) const
    {
        if (text.isNull())
            return; // keep what the screen filled in
        find<QLineEdit>(field)->clear();
        QTest::keyClicks(find<QLineEdit>(field), text);
    }

    // The resizes asked for, each once (every step runs twice and asks twice).
    QList<Screen> distinctResizes() const
    {
        QList<Screen> distinct;
        for (Screen screen : resizes)
            if (distinct.isEmpty() || distinct.last() != screen)
                distinct.append(screen);
        return distinct;
    }

    QList<QStringList> storedItems() const
    {
        QList<QStringList> items;
        for (const auto &item : test.secretStore.items())
            items.append({item.account, QString::fromUtf8(item.data)});
        return items;
    }
};

// The application's delegate over the test context, as the program makes it. Its resize guard is
// wide enough that a loaded machine never sees the 0.1 s guard run out between two steps.
struct Delegate
{
    TestAppContext app;
    FakeTaskbarPresence taskbar;
    DockIconManager dock{app.preferences, taskbar};
    AppDelegate delegate{app.context(), dock, 15.0};
};

// The window's own warnings among the captured lines (the screens log their flow steps too).
QStringList windowLines(const LogCapture &log)
{
    return log.lines().filter(QRegularExpression(QStringLiteral("^⚠️ 窗口")));
}
} // namespace

enum class Outcome { Verify, EditedWhileVerifying, OtherCallerSignsIn, FailedWithoutMessage };

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void walk_data()
    {
        QTest::addColumn<QString>("lastShown");
        QTest::addColumn<bool>("welcomeDone");
        QTest::addColumn<bool>("accountDone");
        QTest::addColumn<QList<Screen>>("screens"); // the first one is the start screen

        using enum MainWindowView::Screen;
        QTest::newRow("fresh install")
            << absent << false << false << QList<Screen>{UpdateLog, Welcome, CredentialSetup, Settings};
        QTest::newRow("upgrade of a finished user")
            << "1.9" << true << true << QList<Screen>{UpdateLog, Settings};
        QTest::newRow("resumed on the account setup") << "2.0" << true << false << QList<Screen>{CredentialSetup, Settings};
        QTest::newRow("welcome after an account was set up") << "2.0" << false << true << QList<Screen>{Welcome, Settings};
        // The version rules: the update log shows when the last one shown is older than 2.0 (the rows
        // above have seen "2.0").
        QTest::newRow("2.0.0 is 2.0") << "2.0.0" << true << true << QList<Screen>{Settings};
        QTest::newRow("10.0 is newer, not text") << "10.0" << true << true << QList<Screen>{Settings};
        QTest::newRow("abc counts as 0") << "abc" << true << true << QList<Screen>{UpdateLog, Settings};
    }

    void walk()
    {
        QFETCH(QString, lastShown);
        QFETCH(bool, welcomeDone);
        QFETCH(bool, accountDone);
        QFETCH(QList<Screen>, screens);

        const bool logShown = screens.first() == Screen::UpdateLog;
        Flow flow(lastShown, welcomeDone, accountDone);
        flow.open();
        QVERIFY(flow.resizes.isEmpty());
        QList<Screen> walked{flow.view->currentScreen()};
        while (flow.view->currentScreen() != Screen::Settings && walked.size() <= screens.size()) {
            switch (flow.view->currentScreen()) {
            case Screen::UpdateLog:
                flow.click(QStringLiteral("continueButton"));
                break;
            case Screen::Welcome:
                for (int page = 0; page < WelcomeView::pageCount; ++page) {
                    QCOMPARE(flow.find<WelcomeView>(QStringLiteral("welcomeView"))->currentPage(), page);
                    flow.click(QStringLiteral("pageButton%1").arg(page));
                }
                break;
            case Screen::CredentialSetup:
                flow.type(QStringLiteral("usernameField"), flow.test.acceptedUsername);
                flow.type(QStringLiteral("passwordField"), flow.test.acceptedPassword);
                flow.click(QStringLiteral("verifyButton"));
                break;
            case Screen::Settings:
                break;
            }
            QTRY_VERIFY_WITH_TIMEOUT(flow.view->currentScreen() != walked.last(), signInWaitMs);
            walked.append(flow.view->currentScreen());
        }
        QCOMPARE(walked, screens);
        QCOMPARE(flow.distinctResizes(), screens.mid(1));
        // Each resize is asked for while the screen before is still shown: the window is resized first.
        for (qsizetype i = 0; i < flow.resizes.size(); ++i)
            QVERIFY(flow.shownWhenResized.at(i) < flow.resizes.at(i));

        QCOMPARE(flow.test.preferences.lastShownVersion(), logShown ? QStringLiteral("2.0") : lastShown);
        QVERIFY(flow.test.preferences.boolValue(PreferenceKeys::hasShownWelcome));
        QVERIFY(flow.test.preferences.boolValue(PreferenceKeys::hasSetupCredentials));

        // Late steps, even with the first-run facts cleared, never lead back to an earlier screen.
        flow.test.preferences.resetFirstRunState();
        const qsizetype resizesBefore = flow.resizes.size();
        flow.test.notifications.post(Notifications::UpdateLogClosed);
        flow.test.notifications.post(Notifications::CredentialSetupCompleted);
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(flow.resizes.mid(resizesBefore), QList<Screen>{Screen::Settings});
        QCOMPARE(flow.view->currentScreen(), Screen::Settings);
    }

    void verify_data()
    {
        QTest::addColumn<QStringList>("storedAccount");
        QTest::addColumn<QString>("username"); // null: keep what the screen filled in
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("saveSwitch");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("alert"); // empty: the setup ends instead
        QTest::addColumn<QList<QStringList>>("storedAfter");
        QTest::addColumn<int>("posts");

        const QStringList none;
        const QString demo = QStringLiteral("demo"), good = QStringLiteral("demo-password"), empty = "";
        const QList<QStringList> nothing, demoStored{{"username", demo}, {"password", good}};
        const QString emptyFields = CredentialSetupView::emptyFieldsMessage;
        using enum Outcome;

        QTest::newRow("empty password") << none << demo << empty << true << Verify << emptyFields << nothing << 0;
        QTest::newRow("refused by the portal") << none << demo << "wrong" << true << Verify
                                               << QStringLiteral("用户名或密码错误") << nothing << 1;
        QTest::newRow("accepted, switch off")
            << none << demo << good << false << Verify << QString() << nothing << 1;
        QTest::newRow("stored account filled in") << QStringList{demo, good} << QString() << QString() << true
                                                  << Verify << QString() << demoStored << 1;
        QTest::newRow("fields edited while verifying: the pair sent is kept")
            << none << demo << good << true << EditedWhileVerifying << QString() << demoStored << 1;
        QTest::newRow("another caller signs in, fields emptied")
            << QStringList{demo, good} << empty << empty << true << OtherCallerSignsIn << QString()
            << demoStored << 1;
        QTest::newRow("failure without a message")
            << none << demo << good << true << FailedWithoutMessage
            << CredentialSetupView::defaultFailureMessage << nothing << 0;
    }

    void verify()
    {
        QFETCH(QStringList, storedAccount);
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(bool, saveSwitch);
        QFETCH(Outcome, outcome);
        QFETCH(QString, alert);
        QFETCH(QList<QStringList>, storedAfter);
        QFETCH(int, posts);

        Flow flow(QStringLiteral("2.0"), true, false);
        if (!storedAccount.isEmpty())
            flow.test.storeAccount(storedAccount.at(0), storedAccount.at(1));
        flow.open();
        auto *setup = flow.find<CredentialSetupView>(QStringLiteral("credentialSetupView"));
        QVERIFY(setup);
        if (!storedAccount.isEmpty()) // the store answers on the event loop
            QTRY_COMPARE(flow.find<QLineEdit>(QStringLiteral("usernameField"))->text(), storedAccount.at(0));
        flow.type(QStringLiteral("usernameField"), username);
        flow.type(QStringLiteral("passwordField"), password);
        if (!saveSwitch)
            flow.click(QStringLiteral("saveCredentialsSwitch"));

        switch (outcome) {
        case Outcome::Verify:
            flow.click(QStringLiteral("verifyButton"));
            break;
        case Outcome::EditedWhileVerifying:
            flow.click(QStringLiteral("verifyButton"));
            flow.type(QStringLiteral("usernameField"), QStringLiteral("someone-else"));
            flow.type(QStringLiteral("passwordField"), QStringLiteral("typed-later"));
            break;
        case Outcome::OtherCallerSignsIn:
            flow.test.authService->login(flow.test.acceptedUsername, flow.test.acceptedPassword);
            break;
        case Outcome::FailedWithoutMessage:
            flow.test.notifications.post(Notifications::LoginFailed);
            break;
        }

        if (alert.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(flow.view->currentScreen(), Screen::Settings, signInWaitMs);
            QVERIFY(!flow.find<QMessageBox>(QStringLiteral("verificationAlert")));
        } else {
            QMessageBox *box = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT((box = flow.find<QMessageBox>(QStringLiteral("verificationAlert"))) &&
                                         box->isVisible(),
                                     signInWaitMs);
            QCOMPARE(box->informativeText(), alert);
            QVERIFY(!setup->isVerifying());
            QCoreApplication::processEvents();
            QCOMPARE(flow.view->currentScreen(), Screen::CredentialSetup);
        }
        QCOMPARE(flow.test.preferences.boolValue(PreferenceKeys::hasSetupCredentials), alert.isEmpty());
        QCOMPARE(flow.storedItems(), storedAfter);
        QCOMPARE(flow.test.loginPosts.load(), posts);
    }

    // The main window as the delegate makes and moves it. (Reopening after a close or a minimise, and a
    // screen change meanwhile, run on a real desktop in tests/app/tst_desktop.cpp.)
    // The window opens centred, at the size of its first screen, and keeps its centre when resized.
    // Two requests of one turn both pass (the flag is set when the first one runs); a third while the
    // guard holds is dropped with its line; once the guard is over a request passes again.
    void resizeGuard()
    {
        Delegate d;
        LogCapture log;
        d.app.preferences.setText(PreferenceKeys::lastShownVersion, VersionManager::currentVersion);
        d.app.preferences.setBool(PreferenceKeys::hasShownWelcome, true);
        d.app.preferences.setBool(PreferenceKeys::hasSetupCredentials, true);
        d.delegate.createMainWindow();
        QWidget *window = d.delegate.mainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto centre = [window] { return QRectF(window->frameGeometry()).center(); };
        QCOMPARE(centre(), QRectF(window->screen()->availableGeometry()).center());
        d.app.notifications.post(Notifications::ResizeWindowForWelcome);
        d.app.notifications.post(Notifications::ResizeWindowForCredentialSetup);
        QTRY_COMPARE(window->size(), QSize(500, 500));
        QCOMPARE(centre(), QRectF(window->screen()->availableGeometry()).center()); // kept where it was
        QCOMPARE(windowLines(log), QStringList());

        d.app.notifications.post(Notifications::ResizeWindowForSettings);
        QCOMPARE(windowLines(log), QStringList{AppDelegate::resizeBusyLog});
        QTRY_VERIFY_WITH_TIMEOUT(!d.delegate.isResizingWindow(), 20000);
        QCOMPARE(window->size(), QSize(500, 500));
        d.app.notifications.post(Notifications::ResizeWindowForSettings);
        QTRY_COMPARE(window->size(), QSize(700, 500));
    }

    // The application becoming active (as Qt reports it) reaches the engine and, a moment later,
    // re-applies the taskbar choice.
    void activationReachesTheEngine()
    {
        Delegate d;
        FakeSystemEvents events;
        QSignalSpy engine(&events, &SystemEvents::applicationDidBecomeActive);
        d.delegate.observeApplicationActivation(&events);
        d.taskbar.applications = 0;
        Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
        Q_EMIT qGuiApp->applicationStateChanged(Qt::ApplicationActive);
        QCOMPARE(engine.count(), 1);
        QTRY_COMPARE(d.taskbar.applications, 1);
    }

    void artwork_data()
    {
        QTest::addColumn<QString>("name"); // a picture's resource path, or a symbol
        for (const QString &picture : {Artwork::logo, Artwork::menubar, Artwork::avatar})
            QTest::newRow(qPrintable(picture)) << Artwork::imagePath(picture);
        for (const SymbolIcon::Entry &entry : SymbolIcon::table)
            QTest::newRow(entry.symbol) << QString::fromLatin1(entry.symbol);
    }

    // Every picture and every symbol's bundled fallback is compiled in and draws something.
    void artwork()
    {
        QFETCH(QString, name);
        SymbolIcon::setUseIconTheme(false);
        QImage image;
        if (name.startsWith(u':')) {
            QSvgRenderer renderer(name);
            QVERIFY(renderer.isValid());
            image = QImage(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            renderer.render(&painter);
        } else {
            image = SymbolIcon::pixmap(name, 24, Qt::red).toImage();
        }
        QVERIFY(!image.isNull());
        int drawn = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                drawn += qAlpha(image.pixel(x, y)) > 128;
        QVERIFY2(drawn > image.width() * image.height() / 20, qPrintable(QString::number(drawn)));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
