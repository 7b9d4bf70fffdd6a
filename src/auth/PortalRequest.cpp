#include "auth/PortalRequest.h"

#include "auth/ResponseLimits.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>

namespace {
const QByteArray locationHeader = "Location";
const QByteArray contentTypeHeader = "Content-Type";
const QByteArray cookieHeader = "Cookie";
const QByteArray setCookieHeader = "Set-Cookie";

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

TransportError::Kind kindOf(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::TimeoutError:
        return TransportError::Kind::TimedOut;
    // An unreachable network or host (ENETUNREACH, EHOSTUNREACH) is an unknown network error.
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::UnknownNetworkError:
        return TransportError::Kind::CannotConnect;
    default:
        return TransportError::Kind::Other;
    }
}
} // namespace

PortalRequest::PortalRequest(QNetworkCookieJar &cookieJar, const QString &portalHost, double durationScale,
                             QObject *parent)
    : QObject(parent), m_cookieJar(cookieJar), m_redirectDelegate(portalHost),
      m_idleTimeoutMs(qRound(idleTimeoutMs * durationScale))
{
    m_resourceTimer.setSingleShot(true);
    m_resourceTimer.setInterval(qRound(resourceTimeoutMs * durationScale));
    connect(&m_resourceTimer, &QTimer::timeout, this, [this] { abortFor(AbortReason::ResourceLimit); });
}

void PortalRequest::get(const QNetworkRequest &request)
{
    begin(request, {}, false);
}

void PortalRequest::post(const QNetworkRequest &request, const QByteArray &body)
{
    begin(request, body, true);
}

void PortalRequest::begin(const QNetworkRequest &request, const QByteArray &body, bool isPost)
{
    m_url = request.url();
    for (const QByteArray &name : request.rawHeaderList())
        m_headers.append({name, request.rawHeader(name)});
    m_uploadBody = body;
    m_isPost = isPost;
    m_resourceTimer.start();
    send();
}

void PortalRequest::cancel()
{
    abortFor(AbortReason::Cancelled);
}

void PortalRequest::send()
{
    HttpExchange::HeaderList headers = m_headers;
    QByteArrayList cookies;
    for (const QNetworkCookie &cookie : m_cookieJar.cookiesForUrl(m_url))
        cookies << cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    if (!cookies.isEmpty())
        headers.append({cookieHeader, cookies.join("; ")});
    m_exchange = new HttpExchange(this);
    connect(m_exchange, &HttpExchange::finished, this, &PortalRequest::onExchangeFinished);
    m_exchange->start(m_isPost ? "POST" : "GET", m_url, headers, m_uploadBody, ResponseLimits::maxResponseSize,
                      m_idleTimeoutMs);
}

void PortalRequest::onExchangeFinished()
{
    if (m_finished)
        return;
    keepCookies();
    const HttpExchange::Response &response = m_exchange->response();
    const bool intact = m_abortReason == AbortReason::None && response.error == QNetworkReply::NoError;
    if (intact && followRedirect())
        return;
    complete();
}

void PortalRequest::keepCookies()
{
    // As a browser does: every answer, a redirect's included, may set the portal's cookies.
    for (const auto &[name, value] : m_exchange->response().headers) {
        if (name.compare(setCookieHeader, Qt::CaseInsensitive) == 0)
            m_cookieJar.setCookiesFromUrl(QNetworkCookie::parseCookies(value), m_exchange->url());
    }
}

bool PortalRequest::followRedirect()
{
    const int status = m_exchange->response().statusCode.value_or(0);
    const QByteArray location = m_exchange->header(locationHeader);
    if (!isRedirect(status) || location.isEmpty())
        return false;
    // Read strictly: a Location that does not parse cleanly becomes an empty URL, which the guard refuses.
    const QUrl relative = QUrl::fromEncoded(location, QUrl::StrictMode);
    const QUrl target = relative.isValid() ? m_url.resolved(relative) : QUrl();
    // 307 and 308 send the form again; the others turn the request into a plain GET, as browsers do.
    const bool resendsForm = m_isPost && (status == 307 || status == 308);
    if (!m_redirectDelegate.willPerformRedirection(target, resendsForm ? std::optional(m_url) : std::nullopt))
        return false;
    if (m_isPost && !resendsForm) {
        m_isPost = false;
        m_uploadBody.clear();
        m_headers.removeIf([](const auto &header) {
            return header.first.compare(contentTypeHeader, Qt::CaseInsensitive) == 0;
        });
    }
    m_url = target;
    m_exchange->deleteLater();
    send();
    return true;
}

void PortalRequest::complete()
{
    m_finished = true;
    m_resourceTimer.stop();
    const HttpExchange::Response &exchange = m_exchange->response();
    PortalResponse response;
    response.statusCode = exchange.statusCode;
    response.error = transportError();
    response.headers = exchange.headers;
    response.oversized = exchange.oversized;
    response.length = exchange.length;
    response.body = exchange.body;
    Q_EMIT finished(response);
}

void PortalRequest::abortFor(AbortReason reason)
{
    if (m_finished || m_abortReason != AbortReason::None)
        return;
    m_abortReason = reason;
    if (m_exchange)
        m_exchange->abort();
}

std::optional<TransportError> PortalRequest::transportError() const
{
    const HttpExchange::Response &response = m_exchange->response();
    const auto error = [&](TransportError::Kind kind) {
        return std::optional<TransportError>(TransportError{kind, int(response.error), response.errorString});
    };
    switch (m_abortReason) {
    case AbortReason::ResourceLimit:
        return error(TransportError::Kind::TimedOut);
    case AbortReason::Cancelled:
        return error(TransportError::Kind::Other);
    case AbortReason::None:
        break;
    }
    if (response.error == QNetworkReply::NoError)
        return std::nullopt;
    return error(kindOf(response.error));
}
