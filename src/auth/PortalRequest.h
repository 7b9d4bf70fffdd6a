#pragma once

#include "auth/PortalResponse.h"
#include "auth/RedirectProtectionDelegate.h"
#include "net/HttpExchange.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkCookieJar;

/// One request of a sign-in, sent on a connection of its own: no cache, the sign-in's shared cookie
/// jar, a 10-second idle and a 15-second total limit (over all its redirects), its own redirect
/// guard, and an answer read under the bounds of HttpExchange, so that an oversized or endless
/// answer is dropped instead of held and the form is posted once. Redirects are followed here, one
/// new request per hop, so that the guard sees every one of them; a refused redirect completes the
/// request with the 3xx response itself.
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

    /// Sends the request with its URL and raw headers (in their order); the answer arrives through finished().
    void get(const QNetworkRequest &request);
    void post(const QNetworkRequest &request, const QByteArray &body);
    /// Cancels the request; it then completes with a cancellation error. Does nothing once finished.
    void cancel();

    const RedirectProtectionDelegate &redirectDelegate() const { return m_redirectDelegate; }

Q_SIGNALS:
    /// Emitted once, when the request has ended in any way.
    void finished(const PortalResponse &response);

private:
    // Why this object ended the request itself; Qt reports each of them as a cancellation.
    enum class AbortReason { None, Cancelled, ResourceLimit };

    void begin(const QNetworkRequest &request, const QByteArray &body, bool isPost);
    void send();
    void onExchangeFinished();
    void keepCookies();
    bool followRedirect();
    void complete();
    void abortFor(AbortReason reason);
    std::optional<TransportError> transportError() const;

    QNetworkCookieJar &m_cookieJar;
    RedirectProtectionDelegate m_redirectDelegate;
    QTimer m_resourceTimer;
    int m_idleTimeoutMs;
    QUrl m_url;
    HttpExchange::HeaderList m_headers;
    QByteArray m_uploadBody;
    bool m_isPost = false;
    QPointer<HttpExchange> m_exchange;
    AbortReason m_abortReason = AbortReason::None;
    bool m_finished = false;
};
