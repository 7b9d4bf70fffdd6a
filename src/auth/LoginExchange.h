#pragma once

#include "auth/LoginOutcome.h"
#include "auth/PortalEndpoints.h"

#include <QNetworkCookie>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class PortalRequest;
struct PortalResponse;
class QNetworkCookieJar;
class RedirectProtectionDelegate;

/// One sign-in: fetches the portal page for its cookies, posts the form, and reads the answer, each
/// step under its own 20-second limit. Everything it reads (its requests, their redirect guards, its
/// timer) is its own, so sign-ins that overlap never see each other's state.
class LoginExchange : public QObject
{
    Q_OBJECT

public:
    /// The overall limit of each step.
    static constexpr int stepTimeoutMs = 20000;

    LoginExchange(const PortalEndpoints &endpoints, QNetworkCookieJar &cookieJar, QString username,
                  QString password, double durationScale, QObject *parent = nullptr);
    ~LoginExchange() override;

    /// Starts the step timer and the page fetch. The outcome arrives through finished().
    void start();

    const QString &username() const { return m_username; }
    /// The latest request, kept so that the step timer can cancel it.
    PortalRequest *currentTask() const { return m_currentTask; }
    /// The redirect guard of the latest request.
    const RedirectProtectionDelegate *redirectDelegate() const;
    /// The running step timer, if any.
    const QTimer *timeoutTimer() const { return m_timeoutTimer.get(); }

Q_SIGNALS:
    /// The page fetch went wrong; the sign-in goes on with the login request.
    void pageWarning(const QString &message);
    /// A step ran out of time; its request has been cancelled and will still complete.
    void timedOut();
    /// The login request completed; emitted exactly once.
    void finished(const LoginOutcome &outcome);

private:
    void startTimeoutTimer();
    void cancelTimeoutTimer();
    void onTimeout();
    PortalRequest *newRequest();

    void fetchPage();
    void onPageFinished(const PortalResponse &response);
    QList<QNetworkCookie> pageCookies(const PortalResponse &response) const;
    void continueWithLogin(const QList<QNetworkCookie> &cookies);

    void sendLogin(const QList<QNetworkCookie> &cookies);
    void onLoginFinished(const PortalResponse &response);
    void finish(const LoginOutcome &outcome);

    PortalEndpoints m_endpoints;
    QNetworkCookieJar &m_cookieJar;
    QString m_username;
    QString m_password;
    double m_durationScale;
    QPointer<PortalRequest> m_currentTask;
    std::unique_ptr<QTimer> m_timeoutTimer;
};
