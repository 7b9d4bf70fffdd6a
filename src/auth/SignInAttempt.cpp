#include "auth/SignInAttempt.h"

#include "auth/HTTPAuthService.h"

#include <utility>

namespace {
// The portal's message, when the failure's notification carries one as text.
std::optional<QString> portalMessage(const QVariantMap &userInfo)
{
    const QVariant message = userInfo.value(Notifications::MessageKey);
    if (message.typeId() != QMetaType::QString)
        return std::nullopt;
    return message.toString();
}
} // namespace

SignInAttempt::SignInAttempt(HTTPAuthService &authService, NotificationCenter &center, QObject *parent)
    : QObject(parent), m_authService(authService), m_center(center)
{
}

SignInAttempt::~SignInAttempt()
{
    // The centre outlives the attempt; its observers must not call into a destroyed one.
    withdraw();
}

void SignInAttempt::start(const QString &username, const QString &password, Report report)
{
    m_report = std::move(report);
    m_observers << m_center.addObserver(Notifications::LoginSuccess, [this](const QVariantMap &) {
        finish({true, std::nullopt});
    });
    m_observers << m_center.addObserver(Notifications::LoginFailed, [this](const QVariantMap &userInfo) {
        finish({false, portalMessage(userInfo)});
    });
    m_authService.login(username, password);
}

void SignInAttempt::finish(const Outcome &outcome)
{
    withdraw();
    // Taken out first: the report may destroy this attempt, and with it anything it still holds.
    const Report report = std::exchange(m_report, nullptr);
    report(outcome);
}

void SignInAttempt::withdraw()
{
    for (const NotificationCenter::Token observer : std::exchange(m_observers, {}))
        m_center.removeObserver(observer);
}
