#pragma once

#include "common/NotificationCenter.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

struct AppContext;

/// The main window's root view. It shows one of four screens: the update log, the welcome pages, the
/// account setup or the settings, picked at creation from three stored facts (the welcome pages were
/// finished, an account was verified, the last version whose update log was closed). A new user walks
/// through them in that order; the flow only ever moves forward, and as the facts are stored on the
/// way, a later launch resumes where the user left. Before each new screen it posts the matching
/// resize notification; the screen itself follows one event-loop turn later.
class MainWindowView : public QWidget
{
    Q_OBJECT

public:
    /// In the order the flow walks them.
    enum class Screen { UpdateLog, Welcome, CredentialSetup, Settings };
    Q_ENUM(Screen)

    explicit MainWindowView(AppContext &context, QWidget *parent = nullptr);
    ~MainWindowView() override;

    /// The size each screen takes, and the window around it. A new view's sizeHint() is the size of
    /// its first screen, so the window can be created at it.
    static QSize screenSize(Screen screen);

    Screen currentScreen() const { return m_screen; }
    QWidget *currentScreenWidget() const { return m_screenWidget; }
    QSize sizeHint() const override;

    bool showUpdateLog() const { return m_showUpdateLog; }
    bool showWelcome() const { return m_showWelcome; }
    bool showCredentialSetup() const { return m_showCredentialSetup; }
    void setShowUpdateLog(bool show);
    void setShowWelcome(bool show);
    void setShowCredentialSetup(bool show);

Q_SIGNALS:
    void currentScreenChanged(MainWindowView::Screen screen);

private:
    /// Sets a screen's flag; true when it turned false, so that the screen's closing step is due.
    bool changeFlag(bool &flag, bool show, Screen screen);
    void handleUpdateLogClosed();
    void handleWelcomeClosed();
    void handleCredentialSetupClosed();
    void showNextScreen();
    void prepareCredentialSetup();
    void showSettingsScreen();
    bool isBehind(Screen screen) const;
    /// Runs `step` on the next turn of the event loop, while this view lives.
    void later(std::function<void()> step);
    Screen screenFromFlags() const;
    void updateScreen();
    QWidget *makeScreen(Screen screen);
    QWidget *makeScreenView(Screen screen);

    AppContext &m_context;
    bool m_showUpdateLog = false;
    bool m_showWelcome = false;
    bool m_showCredentialSetup = false;
    Screen m_screen = Screen::UpdateLog;
    QSet<Screen> m_closedScreens;
    QPointer<QWidget> m_screenWidget;
    NotificationCenter::Token m_updateLogObserver = 0;
    NotificationCenter::Token m_setupObserver = 0;
};
