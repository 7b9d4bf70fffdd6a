#include "auth/HTTPAuthService.h"

#include "auth/LoginExchange.h"
#include "auth/PortalRequest.h"
#include "common/NotificationCenter.h"

const QString HTTPAuthService::connectingStatus = QStringLiteral("正在连接服务器...");
const QString HTTPAuthService::successStatus = QStringLiteral("✓ 登录成功！");
const QString HTTPAuthService::timeoutStatus =
    QStringLiteral("⚠️ 连接超时\n\n可能是VPN导致的连接问题，请关闭VPN后重试。");

namespace {
const QString warningPrefix = QStringLiteral("⚠️ ");
} // namespace

HTTPAuthService::HTTPAuthService(const QString &portalAddress, NotificationCenter &center,
                                 RecordSuccess recordSuccess, double durationScale, QObject *parent)
    : QObject(parent), m_endpoints(PortalEndpoints::fromAddress(portalAddress)), m_center(center),
      m_recordSuccess(std::move(recordSuccess)), m_durationScale(durationScale)
{
}

HTTPAuthService::~HTTPAuthService()
{
    // Sign-ins still running go first: their sessions use the cookie jar, which goes with this object.
    qDeleteAll(findChildren<LoginExchange *>(Qt::FindDirectChildrenOnly));
}

void HTTPAuthService::login(const QString &username, const QString &password)
{
    queue([this] {
        setIsAuthenticating(true);
        setStatusMessage(connectingStatus);
        setIsSuccess(false);
        setIsError(false);
    });

    auto *exchange = new LoginExchange(m_endpoints, m_cookieJar, username, password, m_durationScale, this);
    m_latestExchange = exchange;
    connect(exchange, &LoginExchange::pageWarning, this,
            [this](const QString &message) { publishWarning(warningPrefix + message); });
    connect(exchange, &LoginExchange::timedOut, this, [this] { publishWarning(timeoutStatus); });
    connect(exchange, &LoginExchange::finished, this, [this, exchange](const LoginOutcome &outcome) {
        publishOutcome(exchange->username(), outcome);
        exchange->deleteLater();
    });
    exchange->start();
}

PortalRequest *HTTPAuthService::currentTask() const
{
    return m_latestExchange ? m_latestExchange->currentTask() : nullptr;
}

const RedirectProtectionDelegate *HTTPAuthService::redirectDelegate() const
{
    return m_latestExchange ? m_latestExchange->redirectDelegate() : nullptr;
}

const QTimer *HTTPAuthService::timeoutTimer() const
{
    return m_latestExchange ? m_latestExchange->timeoutTimer() : nullptr;
}

void HTTPAuthService::queue(std::function<void()> change)
{
    // Queued calls run in the order they were queued, so a sign-in's start state always comes first.
    QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
}

void HTTPAuthService::publishWarning(const QString &status)
{
    queue([this, status] {
        setIsAuthenticating(false);
        setStatusMessage(status);
        setIsError(true);
    });
}

void HTTPAuthService::reportFailure(const QString &message)
{
    queue([this, message] {
        setIsAuthenticating(false);
        setStatusMessage(message);
        setIsSuccess(false);
        setIsError(true);
    });
}

void HTTPAuthService::publishOutcome(const QString &username, const LoginOutcome &outcome)
{
    queue([this, username, outcome] {
        setIsAuthenticating(false);
        if (outcome.success) {
            setStatusMessage(successStatus);
            setIsSuccess(true);
            if (m_recordSuccess)
                m_recordSuccess(username);
            m_center.post(Notifications::LoginSuccess, {{Notifications::UsernameKey, username}});
        } else {
            setStatusMessage(outcome.message);
            setIsError(true);
            m_center.post(Notifications::LoginFailed, {{Notifications::MessageKey, outcome.message}});
        }
    });
}

void HTTPAuthService::setIsAuthenticating(bool value)
{
    m_isAuthenticating = value;
    Q_EMIT isAuthenticatingChanged(value);
}

void HTTPAuthService::setStatusMessage(const QString &value)
{
    m_statusMessage = value;
    Q_EMIT statusMessageChanged(value);
}

void HTTPAuthService::setIsSuccess(bool value)
{
    m_isSuccess = value;
    Q_EMIT isSuccessChanged(value);
}

void HTTPAuthService::setIsError(bool value)
{
    m_isError = value;
    Q_EMIT isErrorChanged(value);
}
