#pragma once

#include "auth/PortalResponse.h"
#include "auth/RedirectProtectionDelegate.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkCookieJar;
class QNetworkReply;

/// One request of a sign-in, sent on a session of its own: no cache, the sign-in's shared cookie
/// jar, a 10-second idle and a 15-second total limit (over all its redirects), its own redirect
/// guard, and a body read as it arrives so that an oversized answer is dropped instead of held.
/// Redirects are followed here, one new request per hop, so that the guard sees every one of them;
/// a refused redirect completes the request with the 3xx response itself.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    /// Idle time-out: no data for this long ends the request.
    static constexpr int idleTimeoutMs = 10000;
    /// Total time-out of the request.
    static constexpr int resourceTimeoutMs = 15000;

    /// `portalHost` feeds the redirect guard; `durationScale` multiplies both time-outs.
    PortalRequest(QNetworkCookieJar &cookieJar, const QString &portalHost, double durationScale,
                  QObject *parent = nullptr);

    void get(QNetworkRequest request);
    void post(QNetworkRequest request, const QByteArray &body);
    /// Cancels the request; it then completes with a cancellation error. Does nothing once finished.
    void cancel();

    const RedirectProtectionDelegate &redirectDelegate() const { return m_redirectDelegate; }

Q_SIGNALS:
    /// Emitted once, when the request has ended in any way.
    void finished(const PortalResponse &response);

private:
    // Why this object ended the request itself; Qt reports each of them as a cancellation.
    enum class AbortReason { None, Cancelled, ResourceLimit, Oversized };

    void send();
    void onReadyRead();
    void onFinished();
    bool followRedirect(int status);
    void complete(std::optional<int> status);
    void abortFor(AbortReason reason);
    qint64 declaredLength() const;
    std::optional<TransportError> transportError(bool answered) const;

    QNetworkAccessManager m_session;
    RedirectProtectionDelegate m_redirectDelegate;
    QTimer m_resourceTimer;
    QNetworkRequest m_request;
    QByteArray m_uploadBody;
    bool m_isPost = false;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_oversized = false;
    qint64 m_oversizedLength = 0;
    AbortReason m_abortReason = AbortReason::None;
    bool m_finished = false;
};
