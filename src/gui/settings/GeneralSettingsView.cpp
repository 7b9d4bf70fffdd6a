#include "gui/settings/GeneralSettingsView.h"

#include "auth/HTTPAuthService.h"
#include "desktop/LaunchAtLogin.h"
#include "gui/AppContext.h"
#include "gui/widgets/Alert.h"
#include "gui/widgets/BusyButton.h"
#include "gui/widgets/Card.h"
#include "gui/widgets/SettingRow.h"
#include "gui/widgets/Spinner.h"
#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"
#include "gui/widgets/ToggleSwitch.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString paneTitle = QStringLiteral("通用");
const QString accountHeading = QStringLiteral("账号密码");
const QString usernameLabel = QStringLiteral("用户名");
const QString usernamePlaceholder = QStringLiteral("请输入用户名");
const QString passwordLabel = QStringLiteral("密码");
const QString passwordPlaceholder = QStringLiteral("请输入密码");
const QString saveCredentialsTitle = QStringLiteral("保存用户名和密码");
const QString saveTitle = QStringLiteral("保存");
const QString manualHeading = QStringLiteral("手动联网");
const QString manualTitle = QStringLiteral("立即尝试连接校园网");
const QString manualDescription = QStringLiteral("使用已保存的账号密码进行登录");
const QString connectTitle = QStringLiteral("连接");
const QString hideDockTitle = QStringLiteral("隐藏Dock图标");
const QString hideDockDescription = QStringLiteral("隐藏Dock栏图标，应用仅在菜单栏显示");
const QString dockUnsupportedNote = QStringLiteral("当前桌面（Wayland）不允许应用隐藏自己的任务栏图标");
const QString launchAtLoginTitle = QStringLiteral("登录时启动");
const QString resetTitle = QStringLiteral("清除所有保存的凭据");
const QString resetDescription = QStringLiteral("清除后将退出程序，下次打开时会再次显示欢迎界面");
const QString resetButtonTitle = QStringLiteral("重置");
const QString saveSuccessTitle = QStringLiteral("保存成功");
const QString saveSuccessMessage = QStringLiteral("用户信息已保存");
const QString saveFailureTitle = QStringLiteral("保存失败");
const QString okTitle = QStringLiteral("确定");
const QString confirmResetTitle = QStringLiteral("确认重置");
const QString confirmResetMessage = QStringLiteral("确定要清除所有保存的凭据吗？清除后将退出程序。");
const QString cancelTitle = QStringLiteral("取消");
constexpr int statusIconSize = 14;
} // namespace

GeneralSettingsView::GeneralSettingsView(AppContext &context, QWidget *parent)
    : ScrollingPane(paneTitle, parent), m_context(context)
{
    column()->addWidget(createAccountCard());
    column()->addWidget(createManualSignInCard());
    column()->addWidget(createDockCard());
    column()->addWidget(createResetCard());

    HTTPAuthService &auth = m_context.authService;
    connect(&auth, &HTTPAuthService::statusMessageChanged, this, &GeneralSettingsView::updateStatusLine);
    connect(&auth, &HTTPAuthService::isAuthenticatingChanged, this, &GeneralSettingsView::updateStatusLine);
    connect(&auth, &HTTPAuthService::isSuccessChanged, this, &GeneralSettingsView::updateStatusLine);
    connect(&auth, &HTTPAuthService::isErrorChanged, this, &GeneralSettingsView::updateStatusLine);
    updateStatusLine();
}

QWidget *GeneralSettingsView::createAccountCard()
{
    auto *card = new Card(accountHeading);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setHorizontalSpacing(14);
    m_username = new QLineEdit(card);
    m_username->setObjectName(QStringLiteral("usernameField"));
    m_username->setPlaceholderText(usernamePlaceholder);
    form->addRow(usernameLabel, m_username);
    m_password = new QLineEdit(card);
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setPlaceholderText(passwordPlaceholder);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(passwordLabel, m_password);
    card->contentLayout()->addLayout(form);

    m_saveCredentials = new ToggleSwitch;
    m_saveCredentials->setObjectName(QStringLiteral("saveCredentialsSwitch"));
    m_saveCredentials->setChecked(true);
    card->contentLayout()->addWidget(new SettingRow(saveCredentialsTitle, {}, m_saveCredentials, card));

    auto *saveButton = new QPushButton(saveTitle, card);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    Theme::makePrimary(saveButton);
    connect(saveButton, &QPushButton::clicked, this, &GeneralSettingsView::save);
    connect(m_password, &QLineEdit::returnPressed, saveButton, &QPushButton::click);
    card->contentLayout()->addWidget(saveButton, 0, Qt::AlignRight);
    return card;
}

QWidget *GeneralSettingsView::createManualSignInCard()
{
    auto *card = new Card(manualHeading);
    m_connectButton = new BusyButton(QStringLiteral("network"), connectTitle);
    m_connectButton->setObjectName(QStringLiteral("connectButton"));
    connect(m_connectButton, &QPushButton::clicked, this, &GeneralSettingsView::connectNow);
    card->contentLayout()->addWidget(new SettingRow(manualTitle, manualDescription, m_connectButton, card));

    m_statusLine = new QWidget(card);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    auto *line = new QHBoxLayout(m_statusLine);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(6);
    m_statusIcon = new QLabel(m_statusLine);
    m_statusIcon->setObjectName(QStringLiteral("statusIcon"));
    m_statusSpinner = new Spinner(statusIconSize, m_statusLine);
    m_statusMessage = new QLabel(m_statusLine);
    m_statusMessage->setObjectName(QStringLiteral("statusMessage"));
    m_statusMessage->setWordWrap(true);
    line->addWidget(m_statusIcon);
    line->addWidget(m_statusSpinner);
    line->addWidget(m_statusMessage, 1);
    card->contentLayout()->addWidget(m_statusLine);
    return card;
}

QWidget *GeneralSettingsView::createDockCard()
{
    auto *card = new Card;
    m_hideDockIcon = new ToggleSwitch;
    m_hideDockIcon->setObjectName(QStringLiteral("hideDockIconSwitch"));
    connect(m_hideDockIcon, &ToggleSwitch::clicked, this, &GeneralSettingsView::setDockIconHidden);
    card->contentLayout()->addWidget(
        new SettingRow(hideDockTitle, hideDockDescription, m_hideDockIcon, card));
    if (!m_context.dockIconSupported) {
        m_hideDockIcon->setEnabled(false);
        auto *note = new QLabel(dockUnsupportedNote, card);
        note->setObjectName(QStringLiteral("dockUnsupportedNote"));
        Theme::style(note, Theme::Text::caption, Theme::Tone::Secondary);
        card->contentLayout()->addWidget(note);
    }

    m_launchAtLogin = new ToggleSwitch;
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLoginSwitch"));
    connect(m_launchAtLogin, &ToggleSwitch::clicked, this, &GeneralSettingsView::setLaunchAtLogin);
    card->contentLayout()->addWidget(new SettingRow(launchAtLoginTitle, {}, m_launchAtLogin, card));
    return card;
}

QWidget *GeneralSettingsView::createResetCard()
{
    auto *card = new Card;
    auto *resetButton = new QPushButton(resetButtonTitle);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    Theme::makeDestructive(resetButton);
    connect(resetButton, &QPushButton::clicked, this, &GeneralSettingsView::confirmReset);
    card->contentLayout()->addWidget(new SettingRow(resetTitle, resetDescription, resetButton, card));
    return card;
}

void GeneralSettingsView::showEvent(QShowEvent *event)
{
    ScrollingPane::showEvent(event);
    if (event->spontaneous())
        return; // the window came back from being minimised or covered; nothing to read again
    loadCredentials();
    m_hideDockIcon->setChecked(m_context.preferences.boolValue(PreferenceKeys::hideDockIcon));
    m_launchAtLogin->setChecked(m_context.launchAtLogin.isEnabled());
}

void GeneralSettingsView::loadCredentials()
{
    m_accountRead = false;
    m_context.keychain.loadCredentials(this, [this](const KeychainHelper::Read &read) {
        if (read.result.status != SecretStore::Status::Done) {
            showUnreadAccount(read.result);
            return;
        }
        m_accountRead = true;
        // What the user typed while the store answered stays.
        const Credentials &stored = read.credentials;
        if (stored.username && !m_username->isModified())
            m_username->setText(*stored.username);
        if (stored.password && !m_password->isModified())
            m_password->setText(*stored.password);
    });
}

void GeneralSettingsView::showUnreadAccount(const SecretStore::Result &result)
{
    HTTPAuthService &auth = m_context.authService;
    if (!auth.isAuthenticating())
        auth.reportFailure(result.status == SecretStore::Status::Locked ? keyringLockedMessage
                                                                         : keyringUnavailableMessage);
}

void GeneralSettingsView::save()
{
    const QString username = m_username->text();
    const QString password = m_password->text();
    if (username.isEmpty() || password.isEmpty()) {
        showAlert(QStringLiteral("saveFailureAlert"), QMessageBox::Warning, saveFailureTitle,
                  emptyFieldsMessage);
        return;
    }
    if (m_accountRead) {
        store(username, password);
        return;
    }
    // The stored account was never read (a locked keyring): it is read first, with the store's one
    // unlock, and only replaced once that worked.
    m_context.keychain.loadCredentials(this, [this, username, password](const KeychainHelper::Read &read) {
        m_accountRead = read.result.status == SecretStore::Status::Done;
        if (m_accountRead)
            store(username, password);
        else
            showUnreadAccount(read.result);
    });
}

void GeneralSettingsView::store(const QString &username, const QString &password)
{
    const auto reportSaved = [this](const SecretStore::Result &result) {
        // A store that could not be reached has kept the account: that is no success.
        if (result.status == SecretStore::Status::Done)
            showAlert(QStringLiteral("saveSuccessAlert"), QMessageBox::Information, saveSuccessTitle,
                      saveSuccessMessage);
        else
            showAlert(QStringLiteral("saveFailureAlert"), QMessageBox::Warning, saveFailureTitle,
                      saveFailedMessage);
    };
    if (m_saveCredentials->isChecked())
        m_context.keychain.saveCredentials(username, password, this, reportSaved);
    else
        m_context.keychain.deleteCredentials(this, reportSaved);
}

void GeneralSettingsView::connectNow()
{
    HTTPAuthService &auth = m_context.authService;
    if (auth.isAuthenticating())
        return;
    m_context.keychain.loadCredentials(this, [this](const KeychainHelper::Read &read) {
        HTTPAuthService &auth = m_context.authService;
        if (read.result.status != SecretStore::Status::Done)
            showUnreadAccount(read.result);
        else if (!read.credentials.isUsable())
            auth.reportFailure(noAccountMessage);
        else if (!auth.isAuthenticating())
            auth.login(*read.credentials.username, *read.credentials.password);
    });
}

void GeneralSettingsView::updateStatusLine()
{
    const HTTPAuthService &auth = m_context.authService;
    m_connectButton->setBusy(auth.isAuthenticating());
    m_statusLine->setVisible(!auth.statusMessage().isEmpty());
    m_statusMessage->setText(auth.statusMessage());
    m_statusSpinner->setVisible(auth.isAuthenticating());
    const bool finished = !auth.isAuthenticating() && (auth.isSuccess() || auth.isError());
    m_statusIcon->setVisible(finished);
    if (finished) {
        // A warning on the way (an odd page) may come before a sign-in that still succeeds.
        const bool failed = !auth.isSuccess();
        const QColor colour = failed ? Theme::failure(palette()) : Theme::success(palette());
        const QString symbol =
            failed ? QStringLiteral("xmark.circle.fill") : QStringLiteral("checkmark.circle.fill");
        m_statusIcon->setPixmap(SymbolIcon::pixmap(symbol, statusIconSize, colour, devicePixelRatioF()));
        m_statusIcon->setProperty("failed", failed);
    }
}

void GeneralSettingsView::setDockIconHidden(bool hidden)
{
    if (m_context.setDockIconHidden)
        m_context.setDockIconHidden(hidden);
    else
        m_context.preferences.setBool(PreferenceKeys::hideDockIcon, hidden);
}

void GeneralSettingsView::setLaunchAtLogin(bool enabled)
{
    // The entry's presence is the switch's state: show what is really there.
    m_context.launchAtLogin.setEnabled(enabled);
    m_launchAtLogin->setChecked(m_context.launchAtLogin.isEnabled());
}

void GeneralSettingsView::confirmReset()
{
    Alert::create(this, QStringLiteral("resetAlert"), QMessageBox::Warning, confirmResetTitle,
                  confirmResetMessage,
                  {{cancelTitle, QMessageBox::RejectRole, Alert::Emphasis::None, QStringLiteral("cancelResetButton"),
                    {}, true},
                   {resetButtonTitle, QMessageBox::DestructiveRole, Alert::Emphasis::Destructive,
                    QStringLiteral("confirmResetButton"), [this] { reset(); }}})
        ->open();
}

void GeneralSettingsView::reset()
{
    m_context.preferences.resetFirstRunState();
    // Written out now, so that nothing between here and the end of the process can lose it.
    m_context.preferences.sync();
    // The program quits once the store has answered: an unlock prompt is never cut short.
    AppContext &context = m_context;
    context.keychain.deleteCredentials(nullptr, [&context](const SecretStore::Result &) {
        QTimer::singleShot(std::chrono::milliseconds(qRound(resetQuitDelayMs * context.durationScale)),
                           QCoreApplication::instance(), [&context] { context.quit(); });
    });
}

void GeneralSettingsView::showAlert(const QString &objectName, QMessageBox::Icon icon, const QString &title,
                                    const QString &message)
{
    Alert::create(this, objectName, icon, title, message,
                  {{okTitle, QMessageBox::AcceptRole, Alert::Emphasis::Primary}})
        ->open();
}
