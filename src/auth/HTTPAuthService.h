#pragma once

#include "auth/LoginOutcome.h"
#include "auth/PortalCookieJar.h"
#include "auth/PortalEndpoints.h"
#include "auth/ResponseLimits.h"
#include "common/SharedInstance.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class LoginExchange;
class NotificationCenter;
class PortalRequest;
class QTimer;
class RedirectProtectionDelegate;

/// Signs the computer into the campus portal: plays the portal's own sign-in page (fetches it for its
/// cookies, posts the form as its script does) and reads the answer. The outcome is published as the
/// properties below, as "LoginSuccess" or "LoginFailed" on the notification centre, and on success
/// through `recordSuccess`. Lives on the main thread; every state change is queued there, in order.
class HTTPAuthService : public QObject, public SharedInstance<HTTPAuthService>
{
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticating READ isAuthenticating NOTIFY isAuthenticatingChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(bool isSuccess READ isSuccess NOTIFY isSuccessChanged)
    Q_PROPERTY(bool isError READ isError NOTIFY isErrorChanged)

public:
    /// Told the account name of every successful sign-in, before "LoginSuccess" is posted.
    using RecordSuccess = std::function<void(const QString &username)>;

    static const QString connectingStatus;
    static const QString successStatus;
    static const QString timeoutStatus;
    /// Largest response body that is inspected.
    static constexpr qint64 maxResponseSize = ResponseLimits::maxResponseSize;

    /// `portalAddress` is the portal's `host[:port]`; `durationScale` multiplies every time-out
    /// (tests shorten them; the program keeps 1.0).
    HTTPAuthService(const QString &portalAddress, NotificationCenter &center, RecordSuccess recordSuccess,
                    double durationScale = 1.0, QObject *parent = nullptr);
    ~HTTPAuthService() override;

    /// Starts a sign-in with a non-empty account name and password; returns at once. The start state
    /// applies on the next turn of the event loop. A sign-in already running is not cancelled: it
    /// still delivers its own outcome.
    void login(const QString &username, const QString &password);

    /// Publishes a failure that ended a sign-in before it started (no stored account): the status
    /// line shows `message` as an error, after anything already queued.
    void reportFailure(const QString &message);

    bool isAuthenticating() const { return m_isAuthenticating; }
    QString statusMessage() const { return m_statusMessage; }
    bool isSuccess() const { return m_isSuccess; }
    bool isError() const { return m_isError; }

    const QString &baseURL() const { return m_endpoints.baseURL; }
    const QString &loginURL() const { return m_endpoints.loginURL; }
    const QString &portalURL() const { return m_endpoints.portalURL; }

    /// The latest sign-in's request, redirect guard and step timer (absent once it has ended).
    PortalRequest *currentTask() const;
    const RedirectProtectionDelegate *redirectDelegate() const;
    const QTimer *timeoutTimer() const;

Q_SIGNALS:
    // Emitted on every publication, even of an equal value, so that a watcher sees each status.
    void isAuthenticatingChanged(bool isAuthenticating);
    void statusMessageChanged(const QString &statusMessage);
    void isSuccessChanged(bool isSuccess);
    void isErrorChanged(bool isError);

private:
    void queue(std::function<void()> change);
    void publishWarning(const QString &status);
    void publishOutcome(const QString &username, const LoginOutcome &outcome);
    void setIsAuthenticating(bool value);
    void setStatusMessage(const QString &value);
    void setIsSuccess(bool value);
    void setIsError(bool value);

    PortalEndpoints m_endpoints;
    NotificationCenter &m_center;
    RecordSuccess m_recordSuccess;
    double m_durationScale;
    PortalCookieJar m_cookieJar;
    QPointer<LoginExchange> m_latestExchange;

    bool m_isAuthenticating = false;
    QString m_statusMessage;
    bool m_isSuccess = false;
    bool m_isError = false;
};
