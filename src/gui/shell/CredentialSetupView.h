#pragma once

#include "common/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <utility>

struct AppContext;
class AccentButton;
class QLineEdit;
class QMessageBox;
class ToggleSwitch;

/// Account setup (500 × 500): the user types the portal account, which is signed in with before it is
/// kept. Any successful sign-in while the screen exists ends the setup; a failed one shows why.
class CredentialSetupView : public QWidget
{
    Q_OBJECT

public:
    static const QString alertTitle;
    static const QString emptyFieldsMessage;
    static const QString defaultFailureMessage;

    explicit CredentialSetupView(AppContext &context, QWidget *parent = nullptr);
    ~CredentialSetupView() override;

    bool isVerifying() const { return m_isVerifying; }

Q_SIGNALS:
    /// A sign-in succeeded and the setup is over (the main window's setup flag turns false).
    void completed();

private:
    void verifyPressed();
    void loginSucceeded(const QString &signedInUser);
    void loginFailed(const QVariant &message);
    void setVerifying(bool verifying);
    void updateButton();
    void showError(const QString &message);

    AppContext &m_context;
    QLineEdit *m_username;
    QLineEdit *m_password;
    ToggleSwitch *m_saveCredentials;
    AccentButton *m_verifyButton;
    QPointer<QMessageBox> m_alert;
    bool m_isVerifying = false;
    /// The name and password of the verification under way.
    std::optional<std::pair<QString, QString>> m_sentAccount;
    NotificationCenter::Token m_successObserver = 0;
    NotificationCenter::Token m_failureObserver = 0;
};
