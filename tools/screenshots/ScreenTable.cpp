#include "ScreenTable.h"

#include "TestAppContext.h"

#include "app/CredentialSetupView.h"
#include "app/MainWindowView.h"
#include "app/UpdateLogView.h"
#include "app/WelcomeView.h"
#include "settings/SettingsWindowView.h"

#include <QAbstractButton>
#include <QLineEdit>

namespace {
using Screen = MainWindowView::Screen;

QWidget *welcomePage(TestAppContext &test, int page)
{
    auto *view = new WelcomeView(test.context());
    view->setCurrentPage(page);
    return view;
}

// The setup screen with an account typed in and its verification running.
QWidget *verifyingSetup(TestAppContext &test)
{
    test.storeAccount(QStringLiteral("2023010001"), QStringLiteral("demo-password"));
    auto *view = new CredentialSetupView(test.context());
    view->findChild<QAbstractButton *>(QStringLiteral("verifyButton"))->click();
    return view;
}
} // namespace

std::vector<NamedScreen> screenTable()
{
    return {
        {QStringLiteral("update-log"), MainWindowView::screenSize(Screen::UpdateLog),
         [](TestAppContext &t) { return new UpdateLogView(t.context()); }},
        {QStringLiteral("welcome-1"), MainWindowView::screenSize(Screen::Welcome),
         [](TestAppContext &t) { return welcomePage(t, 0); }},
        {QStringLiteral("welcome-2"), MainWindowView::screenSize(Screen::Welcome),
         [](TestAppContext &t) { return welcomePage(t, 1); }},
        {QStringLiteral("welcome-3"), MainWindowView::screenSize(Screen::Welcome),
         [](TestAppContext &t) { return welcomePage(t, 2); }},
        {QStringLiteral("credential-setup"), MainWindowView::screenSize(Screen::CredentialSetup),
         [](TestAppContext &t) { return new CredentialSetupView(t.context()); }},
        {QStringLiteral("credential-setup-verifying"), MainWindowView::screenSize(Screen::CredentialSetup),
         verifyingSetup},
        {QStringLiteral("settings"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return new SettingsWindowView(t.context()); }},
    };
}
