#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
#include <map>

/// Names of the in-process broadcasts and the keys of their user info.
namespace Notifications {
inline const QString LoginSuccess = QStringLiteral("LoginSuccess");
inline const QString LoginFailed = QStringLiteral("LoginFailed");
inline const QString UsernameKey = QStringLiteral("username");
inline const QString MessageKey = QStringLiteral("message");
// The main window's screens and the first-run flow.
inline const QString ResizeWindowForSettings = QStringLiteral("ResizeWindowForSettings");
inline const QString ResizeWindowForWelcome = QStringLiteral("ResizeWindowForWelcome");
inline const QString ResizeWindowForCredentialSetup = QStringLiteral("ResizeWindowForCredentialSetup");
inline const QString UpdateLogClosed = QStringLiteral("UpdateLogClosed");
inline const QString CredentialSetupCompleted = QStringLiteral("CredentialSetupCompleted");
inline const QString SwitchToAboutSection = QStringLiteral("SwitchToAboutSection");
inline const QString SwitchToGeneralSection = QStringLiteral("SwitchToGeneralSection");
// This process took the auto-login engine over (AppContext::autoLogin changed).
inline const QString EngineOwnerChanged = QStringLiteral("EngineOwnerChanged");
} // namespace Notifications

/// The application's broadcast hub. Posts are delivered synchronously, in registration order, on the
/// thread that posts (always the main thread). An observer may remove itself or any other observer
/// while a post is being delivered; a removed observer is never called again.
class NotificationCenter
{
public:
    using Handler = std::function<void(const QVariantMap &userInfo)>;
    using Token = quint64;

    /// The program's one centre.
    static NotificationCenter &defaultCenter();

    Token addObserver(const QString &name, Handler handler);
    void removeObserver(Token token);
    void post(const QString &name, const QVariantMap &userInfo = {});

    int observerCount(const QString &name) const;

private:
    struct Entry
    {
        QString name;
        Handler handler;
    };
    std::map<Token, Entry> m_observers;
    Token m_nextToken = 1;
};
