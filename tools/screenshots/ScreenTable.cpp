#include "ScreenTable.h"

#include "TestAppContext.h"

#include "gui/settings/AutoLoginSettingsView.h"
#include "gui/settings/GeneralSettingsView.h"
#include "gui/settings/SettingsWindowView.h"
#include "gui/settings/ShortcutRecorderView.h"
#include "gui/settings/ShortcutsSettingsView.h"
#include "gui/settings/StatisticsView.h"
#include "gui/shell/CredentialSetupView.h"
#include "gui/shell/MainWindowView.h"
#include "gui/shell/UpdateLogView.h"
#include "gui/shell/WelcomeView.h"
#include "shortcuts/GlobalShortcutsManager.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {
using Screen = MainWindowView::Screen;

QWidget *welcomePage(TestAppContext &test, int page)
{
    auto *view = new WelcomeView(test.context());
    view->setCurrentPage(page);
    return view;
}

const QString account = QStringLiteral("2023010001");
const QString password = QStringLiteral("demo-password");
// Longer than the tool lets a screen settle: an exchange that takes this long is still running.
constexpr int heldAnswerMs = 1500;

// The setup screen with an account typed in and its verification running (the portal holds its
// answer), or refused.
QWidget *verifyingSetup(TestAppContext &test, bool refused)
{
    test.acceptedUsername = refused ? QString() : account;
    test.loginDelayMs = refused ? 0 : heldAnswerMs;
    test.storeAccount(account, password);
    auto *view = new CredentialSetupView(test.context());
    view->findChild<QAbstractButton *>(QStringLiteral("verifyButton"))->click();
    return view;
}

// The times of the auto-login pane's last refresh and log lines, as if it were 09:41, so that every
// run draws the same picture.
QWidget *atFixedTime(QWidget *view)
{
    static const QRegularExpression time(QStringLiteral("\\d\\d:\\d\\d:\\d\\d"));
    if (auto *label = view->findChild<QLabel *>(QStringLiteral("lastRefreshTime")))
        label->setText(label->text().replace(time, QStringLiteral("09:41:00")));
    if (auto *log = view->findChild<QPlainTextEdit *>(QStringLiteral("refreshLog")))
        log->setPlainText(log->toPlainText().replace(time, QStringLiteral("09:41:00")));
    return view;
}

// A returning user: an account, a campus network without internet, six weeks of sign-ins and a
// shortcut, seen in the settings window on `section`.
QWidget *settings(TestAppContext &test, SettingsSection section, bool history = true)
{
    test.clock.set(QDateTime(QDate(2026, 3, 16), QTime(9, 41)));
    test.storeAccount(account, password);
    test.wifi.interfaceList = {FakeWifiClient::station(QStringLiteral("wlan0"), "larkmead_student")};
    QJsonArray records;
    const qint64 now = test.clock.now().toSecsSinceEpoch();
    for (int i = 0; i < (history ? 60 : 0); ++i) {
        const qint64 time = now - qint64(i % 21) * 86'400 * (i % 3 + 1) - i * 97;
        records.append(QJsonObject{
            {QStringLiteral("username"), QStringLiteral("2023010001")},
            {QStringLiteral("timestamp"), time},
            {QStringLiteral("date"), StatisticsManager::formatTimestamp(time, QStringLiteral("yyyy-MM-dd"))},
            {QStringLiteral("time"), StatisticsManager::formatTimestamp(time, QStringLiteral("HH:mm:ss"))}});
    }
    test.preferences.setData(PreferenceKeys::loginRecords,
                             QJsonDocument(records).toJson(QJsonDocument::Compact));
    test.shortcuts.setQuickLoginShortcut(KeyCombo{37, 0x120000}); // Ctrl+Shift+L
    auto *view = new SettingsWindowView(test.context());
    view->setSelectedSection(section);
    if (section == SettingsSection::statistics)
        static_cast<StatisticsView *>(view->pane(section))->setSelectedPeriod(StatisticsPeriod::month);
    return view;
}

// The auto-login pane scrolled down to its log, after two refreshes.
QWidget *autoLoginLog(TestAppContext &test)
{
    auto *view = static_cast<SettingsWindowView *>(settings(test, SettingsSection::autoLogin));
    auto *pane = static_cast<AutoLoginSettingsView *>(view->pane(SettingsSection::autoLogin));
    QTimer::singleShot(200, pane, [pane] { pane->refresh(); });
    QTimer::singleShot(400, pane, [pane] { pane->ensureWidgetVisible(pane->findChild<QPlainTextEdit *>()); });
    return view;
}

// The general pane's status line while signing in (the portal holds its answer), signed in, or refused.
QWidget *signingIn(TestAppContext &test, bool held, bool refused)
{
    test.acceptedUsername = refused ? QString() : account;
    test.loginDelayMs = held ? heldAnswerMs : 0;
    QWidget *view = settings(test, SettingsSection::general);
    view->findChild<QAbstractButton *>(QStringLiteral("connectButton"))->click();
    return view;
}

// The general pane after pressing `button` with the account fields as given; the alert it opens is
// what is grabbed.
NamedScreen alert(const QString &name, const QString &button, const QString &username,
                  const QString &password)
{
    return {name, MainWindowView::screenSize(Screen::Settings),
            [button, username, password](TestAppContext &test) {
                auto *view = new SettingsWindowView(test.context());
                view->findChild<QLineEdit *>(QStringLiteral("usernameField"))->setText(username);
                view->findChild<QLineEdit *>(QStringLiteral("passwordField"))->setText(password);
                view->findChild<QPushButton *>(button)->click();
                return view;
            },
            [](QWidget *view) -> QWidget * { return view->findChild<QMessageBox *>(); }};
}

QWidget *shortcutsPane(TestAppContext &test, bool recording, bool available)
{
    test.hotKeys.available = available;
    test.shortcuts.setQuickLoginShortcut(KeyCombo{37, 0x120000});
    auto *pane = new ShortcutsSettingsView(test.shortcuts);
    if (recording)
        pane->findChild<ShortcutRecorderView *>(QStringLiteral("showWindowRecorder"))->setRecording(true);
    return pane;
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
         [](TestAppContext &t) { return verifyingSetup(t, false); }},
        {QStringLiteral("alert-verification-failure"), MainWindowView::screenSize(Screen::CredentialSetup),
         [](TestAppContext &t) { return verifyingSetup(t, true); },
         [](QWidget *view) -> QWidget * { return view->findChild<QMessageBox *>(); }},
        {QStringLiteral("settings-general"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::general); }},
        {QStringLiteral("settings-general-signing-in"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return signingIn(t, true, false); }},
        {QStringLiteral("settings-general-signed-in"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return signingIn(t, false, false); }},
        {QStringLiteral("settings-general-refused"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return signingIn(t, false, true); }},
        {QStringLiteral("settings-shortcuts"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::shortcuts); }},
        {QStringLiteral("settings-autologin"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::autoLogin); }, atFixedTime},
        {QStringLiteral("settings-autologin-log"), MainWindowView::screenSize(Screen::Settings), autoLoginLog,
         atFixedTime},
        {QStringLiteral("settings-autologin-refreshing"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) {
             t.probeDelayMs = heldAnswerMs;
             return settings(t, SettingsSection::autoLogin);
         },
         atFixedTime},
        {QStringLiteral("settings-statistics"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::statistics); }},
        {QStringLiteral("settings-statistics-empty"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::statistics, false); }},
        {QStringLiteral("settings-about"), MainWindowView::screenSize(Screen::Settings),
         [](TestAppContext &t) { return settings(t, SettingsSection::about); }},
        alert(QStringLiteral("alert-save-success"), QStringLiteral("saveButton"),
              QStringLiteral("2023010001"), QStringLiteral("demo-password")),
        alert(QStringLiteral("alert-save-failure"), QStringLiteral("saveButton"),
              QStringLiteral("2023010001"), {}),
        alert(QStringLiteral("alert-reset"), QStringLiteral("resetButton"), {}, {}),
        {QStringLiteral("shortcuts-recording"), QSize(500, 460),
         [](TestAppContext &t) { return shortcutsPane(t, true, true); }},
        {QStringLiteral("shortcuts-wayland"), QSize(500, 460),
         [](TestAppContext &t) { return shortcutsPane(t, false, false); }},
    };
}
