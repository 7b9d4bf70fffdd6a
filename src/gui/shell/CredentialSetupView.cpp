#include "gui/shell/CredentialSetupView.h"

#include "auth/HTTPAuthService.h"
#include "gui/AppContext.h"
#include "gui/widgets/AccentButton.h"
#include "gui/widgets/Alert.h"
#include "gui/widgets/SymbolView.h"
#include "gui/widgets/Theme.h"
#include "gui/widgets/ToggleSwitch.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

const QString CredentialSetupView::alertTitle = QStringLiteral("验证失败");
const QString CredentialSetupView::emptyFieldsMessage = QStringLiteral("请输入用户名和密码");
const QString CredentialSetupView::defaultFailureMessage = QStringLiteral("登录失败，请检查用户名和密码");

namespace {
const QString heading = QStringLiteral("设置账号密码");
const QString explanation = QStringLiteral("请填写您的校园网账号和密码，我们将验证其有效性");
const QString usernameLabel = QStringLiteral("用户名");
const QString usernamePlaceholder = QStringLiteral("请输入用户名");
const QString passwordLabel = QStringLiteral("密码");
const QString passwordPlaceholder = QStringLiteral("请输入密码");
const QString saveSwitchTitle = QStringLiteral("保存用户名和密码");
const QString verifyTitle = QStringLiteral("验证并继续");
const QString verifyingTitle = QStringLiteral("验证中...");
const QString alertButton = QStringLiteral("确定");

constexpr int personSymbolSize = 60;
constexpr int buttonHeight = 44;

QLabel *fieldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    Theme::style(label, Theme::Text::detail, Theme::Tone::Secondary);
    return label;
}
} // namespace

CredentialSetupView::CredentialSetupView(AppContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_username(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_saveCredentials(new ToggleSwitch(this)),
      m_verifyButton(new AccentButton(verifyTitle, QStringLiteral("checkmark.circle.fill"), this))
{
    setObjectName(QStringLiteral("credentialSetupView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 16, 40, 28);
    layout->setSpacing(0);

    auto *title = new QLabel(heading, this);
    Theme::style(title, Theme::Text::formTitle);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    layout->addSpacing(14);

    auto *symbol = new SymbolView(QStringLiteral("person.circle.fill"), personSymbolSize, this);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addSpacing(10);
    auto *bodyTitle = new QLabel(heading, this);
    Theme::style(bodyTitle, Theme::Text::formHeadline);
    bodyTitle->setAlignment(Qt::AlignCenter);
    layout->addWidget(bodyTitle);
    layout->addSpacing(6);
    auto *body = new QLabel(explanation, this);
    Theme::style(body, Theme::Text::detail, Theme::Tone::Secondary);
    body->setAlignment(Qt::AlignCenter);
    body->setWordWrap(true);
    layout->addWidget(body);
    layout->addSpacing(20);

    m_username->setObjectName(QStringLiteral("usernameField"));
    m_username->setPlaceholderText(usernamePlaceholder);
    m_username->setInputMethodHints(Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setPlaceholderText(passwordPlaceholder);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
    for (auto [label, field] : {std::pair{usernameLabel, m_username}, std::pair{passwordLabel, m_password}}) {
        field->setMinimumHeight(30);
        QLabel *title = fieldLabel(label, this);
        title->setBuddy(field); // names the field for screen readers
        layout->addWidget(title);
        layout->addSpacing(4);
        layout->addWidget(field);
        layout->addSpacing(12);
    }

    auto *saveRow = new QHBoxLayout;
    auto *saveTitle = new QLabel(saveSwitchTitle, this);
    m_saveCredentials->setObjectName(QStringLiteral("saveCredentialsSwitch"));
    m_saveCredentials->setChecked(true);
    m_saveCredentials->setAccessibleName(saveSwitchTitle);
    saveRow->addWidget(saveTitle);
    saveRow->addStretch();
    saveRow->addWidget(m_saveCredentials);
    layout->addLayout(saveRow);
    layout->addStretch();

    m_verifyButton->setObjectName(QStringLiteral("verifyButton"));
    m_verifyButton->setFixedHeight(buttonHeight);
    layout->addWidget(m_verifyButton);

    connect(m_verifyButton, &AccentButton::clicked, this, &CredentialSetupView::verifyPressed);
    connect(m_username, &QLineEdit::textChanged, this, &CredentialSetupView::updateButton);
    connect(m_password, &QLineEdit::textChanged, this, &CredentialSetupView::updateButton);
    connect(m_username, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, this, &CredentialSetupView::verifyPressed);

    updateButton();
    m_username->setFocus();
    // An account stored before fills the fields the user has not typed into yet.
    m_context.keychain.loadCredentials(this, [this](const KeychainHelper::Read &read) {
        const Credentials &stored = read.credentials;
        if (stored.username && !m_username->isModified())
            m_username->setText(*stored.username);
        if (stored.password && !m_password->isModified())
            m_password->setText(*stored.password);
        if (!m_username->text().isEmpty() && m_username->hasFocus())
            m_password->setFocus();
    });

    // Outcomes may be posted from any thread; each is handled on this view's thread, and one that
    // arrives after the view is gone is dropped with it.
    m_successObserver =
        m_context.notifications.addObserver(Notifications::LoginSuccess, [this](const QVariantMap &info) {
            const QString user = info.value(Notifications::UsernameKey).toString();
            QMetaObject::invokeMethod(
                this, [this, user] { loginSucceeded(user); }, Qt::QueuedConnection);
        });
    m_failureObserver =
        m_context.notifications.addObserver(Notifications::LoginFailed, [this](const QVariantMap &info) {
            const QVariant message = info.value(Notifications::MessageKey);
            QMetaObject::invokeMethod(
                this, [this, message] { loginFailed(message); }, Qt::QueuedConnection);
        });
}

CredentialSetupView::~CredentialSetupView()
{
    m_context.notifications.removeObserver(m_successObserver);
    m_context.notifications.removeObserver(m_failureObserver);
}

void CredentialSetupView::verifyPressed()
{
    const QString username = m_username->text();
    const QString password = m_password->text();
    if (username.isEmpty() || password.isEmpty()) {
        showError(emptyFieldsMessage);
        return;
    }
    setVerifying(true);
    m_sentAccount = {username, password};
    m_context.authService.login(username, password);
}

void CredentialSetupView::loginSucceeded(const QString &signedInUser)
{
    // A success may come from another caller signing in with another account: only the account this
    // screen sent replaces the stored one, whatever the fields hold by now.
    const std::optional<std::pair<QString, QString>> sent = std::exchange(m_sentAccount, std::nullopt);
    const bool sentAccountSignedIn = sent && (signedInUser.isEmpty() || signedInUser == sent->first);
    if (m_saveCredentials->isChecked() && sentAccountSignedIn)
        m_context.keychain.saveCredentials(sent->first, sent->second, nullptr, [](const SecretStore::Result &) {});
    setVerifying(false);
    m_context.preferences.setBool(PreferenceKeys::hasSetupCredentials, true);
    Q_EMIT completed();
    m_context.notifications.post(Notifications::CredentialSetupCompleted);
}

void CredentialSetupView::loginFailed(const QVariant &message)
{
    m_sentAccount.reset();
    setVerifying(false);
    showError(message.typeId() == QMetaType::QString ? message.toString() : defaultFailureMessage);
}

void CredentialSetupView::setVerifying(bool verifying)
{
    m_isVerifying = verifying;
    m_verifyButton->setBusy(verifying);
    m_verifyButton->setLabel(verifying ? verifyingTitle : verifyTitle);
    updateButton();
}

void CredentialSetupView::updateButton()
{
    m_verifyButton->setDimmed(m_isVerifying || m_username->text().isEmpty() || m_password->text().isEmpty());
}

void CredentialSetupView::showError(const QString &message)
{
    if (!m_alert) {
        m_alert = Alert::create(this, QStringLiteral("verificationAlert"), QMessageBox::Warning, alertTitle,
                                message, {{alertButton, QMessageBox::RejectRole}});
    }
    Alert::setMessage(m_alert, message);
    m_alert->open();
}
