#pragma once

#include "gui/widgets/ScrollingPane.h"

#include "store/KeychainHelper.h"

#include <QMessageBox>

struct AppContext;
class BusyButton;
class QLabel;
class QLineEdit;
class Spinner;
class ToggleSwitch;

/// The "通用" pane: the account (save or forget it), a sign-in by hand with the login client's status
/// line, the taskbar entry and start at log-in, and the reset that forgets the account and the
/// first-run state and quits.
class GeneralSettingsView : public ScrollingPane
{
    Q_OBJECT

public:
    static inline const QString emptyFieldsMessage = QStringLiteral("用户名和密码不能为空");
    static inline const QString saveFailedMessage = QStringLiteral("保存凭据失败，请重试");
    static inline const QString noAccountMessage = QStringLiteral("请先保存用户名和密码");
    static inline const QString keyringLockedMessage =
        QStringLiteral("密钥环已锁定，未能读取已保存的账号（账号仍在密钥环中）");
    static inline const QString keyringUnavailableMessage =
        QStringLiteral("无法访问系统密钥环，未能读取已保存的账号");
    /// How long after a reset the program quits, in milliseconds (scaled by AppContext::durationScale).
    static constexpr int resetQuitDelayMs = 500;

    explicit GeneralSettingsView(AppContext &context, QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *createAccountCard();
    QWidget *createManualSignInCard();
    QWidget *createDockCard();
    QWidget *createResetCard();

    void loadCredentials();
    /// Says in the status line that the stored account could not be read (the fields stay as they are).
    void showUnreadAccount(const SecretStore::Result &result);
    void save();
    void store(const QString &username, const QString &password);
    void connectNow();
    void updateStatusLine();
    void setDockIconHidden(bool hidden);
    void setLaunchAtLogin(bool enabled);
    void confirmReset();
    void reset();
    /// Shows a one-button alert ("确定") without blocking the event loop.
    void showAlert(const QString &objectName, QMessageBox::Icon icon, const QString &title,
                   const QString &message);

    AppContext &m_context;
    QLineEdit *m_username = nullptr;
    QLineEdit *m_password = nullptr;
    ToggleSwitch *m_saveCredentials = nullptr;
    BusyButton *m_connectButton = nullptr;
    QWidget *m_statusLine = nullptr;
    QLabel *m_statusIcon = nullptr;
    Spinner *m_statusSpinner = nullptr;
    QLabel *m_statusMessage = nullptr;
    ToggleSwitch *m_hideDockIcon = nullptr;
    ToggleSwitch *m_launchAtLogin = nullptr;
    /// Whether the stored account was read since the pane was shown: a save never replaces an
    /// account that could not be read.
    bool m_accountRead = false;
};
