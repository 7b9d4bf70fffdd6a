#include "auth/PortalRequest.h"

#include "auth/ResponseLimits.h"

#include <QNetworkCookieJar>
#include <QNetworkReply>

namespace {
const QByteArray locationHeader = "Location";
const QByteArray contentTypeHeader = "Content-Type";
constexpr qint64 readChunkSize = 64 * 1024;

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Errors Qt derives from an HTTP error status: the portal did answer, so they are no transport error.
bool isHttpStatusError(QNetworkReply::NetworkError code)
{
    return (code >= QNetworkReply::ContentAccessDenied && code <= QNetworkReply::UnknownContentError) ||
           (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError) ||
           code == QNetworkReply::ProtocolInvalidOperationError;
}

TransportError::Kind kindOf(QNetworkReply::NetworkError code)
{
    switch (code) {
    // Without an abort of our own, a cancellation is Qt's idle time-out.
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return TransportError::Kind::TimedOut;
    // Qt reports an unreachable network or host (ENETUNREACH, EHOSTUNREACH) as an unknown network error.
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::UnknownNetworkError:
        return TransportError::Kind::CannotConnect;
    case QNetworkReply::InsecureRedirectError:
        return TransportError::Kind::InsecureConnectionRefused;
    default:
        return TransportError::Kind::Other;
    }
}
} // namespace

PortalRequest::PortalRequest(QNetworkCookieJar &cookieJar, const QString &portalHost, double durationScale,
                             QObject *parent)
    : QObject(parent), m_redirectDelegate(portalHost)
{
    // The jar is shared by every request of every sign-in: keep its owner, which Qt would replace.
    QObject *jarOwner = cookieJar.parent();
    m_session.setCookieJar(&cookieJar);
    cookieJar.setParent(jarOwner);
    m_session.setTransferTimeout(qRound(idleTimeoutMs * durationScale));

    m_resourceTimer.setSingleShot(true);
    m_resourceTimer.setInterval(qRound(resourceTimeoutMs * durationScale));
    connect(&m_resourceTimer, &QTimer::timeout, this, [this] { abortFor(AbortReason::ResourceLimit); });
}

void PortalRequest::get(QNetworkRequest request)
{
    m_request = std::move(request);
    m_isPost = false;
    m_resourceTimer.start();
    send();
}

void PortalRequest::post(QNetworkRequest request, const QByteArray &body)
{
    m_request = std::move(request);
    m_uploadBody = body;
    m_isPost = true;
    m_resourceTimer.start();
    send();
}

void PortalRequest::cancel()
{
    abortFor(AbortReason::Cancelled);
}

void PortalRequest::send()
{
    QNetworkRequest request = m_request;
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // The body limit guards against huge answers, inflated ones included; Qt's own check would end
    // them as a content error instead.
    request.setDecompressedSafetyCheckThreshold(-1);
    m_body.clear();
    m_reply = m_isPost ? m_session.post(request, m_uploadBody) : m_session.get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &PortalRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PortalRequest::onFinished);
}

void PortalRequest::onReadyRead()
{
    if (m_oversized) {
        m_reply->skip(m_reply->bytesAvailable());
        return;
    }
    // Small reads, never more than one byte past the limit: an inflated answer may be far larger
    // than what arrived, and memory stays bounded by the limit whatever the portal sends.
    const qint64 limit = ResponseLimits::maxResponseSize + 1;
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(qMin(readChunkSize, limit - m_body.size()));
        if (chunk.isEmpty())
            return;
        if (m_body.size() + chunk.size() > m_body.capacity())
            m_body.reserve(qMin(qMax(2 * m_body.capacity(), m_body.size() + chunk.size()), limit));
        m_body += chunk;
        if (m_body.size() >= limit) {
            m_oversized = true;
            m_oversizedLength = qMax(m_body.size() + m_reply->bytesAvailable(), declaredLength());
            m_body = QByteArray(); // let the memory go now, not when the request object goes
            abortFor(AbortReason::Oversized);
            return;
        }
    }
}

void PortalRequest::onFinished()
{
    if (m_finished)
        return;
    if (m_reply->isOpen())
        onReadyRead();
    const QVariant statusAttribute = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const std::optional<int> status =
        statusAttribute.isValid() ? std::optional(statusAttribute.toInt()) : std::nullopt;
    const bool intact = m_abortReason == AbortReason::None && m_reply->error() == QNetworkReply::NoError;
    if (status && intact && followRedirect(*status))
        return;
    complete(status);
}

bool PortalRequest::followRedirect(int status)
{
    const QByteArray location = m_reply->rawHeader(locationHeader);
    if (!isRedirect(status) || location.isEmpty())
        return false;
    const QUrl target = m_reply->url().resolved(QUrl::fromEncoded(location));
    if (!m_redirectDelegate.willPerformRedirection(target))
        return false;
    if (status == 303 || (m_isPost && (status == 301 || status == 302))) {
        // As browsers do: the form is not posted again to the new address.
        m_isPost = false;
        m_uploadBody.clear();
        m_request.setRawHeader(contentTypeHeader, QByteArray());
    }
    m_request.setUrl(target);
    m_reply->disconnect(this);
    m_reply->deleteLater();
    send();
    return true;
}

void PortalRequest::complete(std::optional<int> status)
{
    m_finished = true;
    m_resourceTimer.stop();
    PortalResponse response;
    response.statusCode = status;
    response.error = transportError(status.has_value());
    response.headers = m_reply->rawHeaderPairs();
    response.oversized = m_oversized;
    response.length = m_oversized ? m_oversizedLength : m_body.size();
    response.body = m_body;
    Q_EMIT finished(response);
}

void PortalRequest::abortFor(AbortReason reason)
{
    if (m_finished || !m_reply || m_reply->isFinished())
        return;
    m_abortReason = reason;
    m_reply->abort();
}

qint64 PortalRequest::declaredLength() const
{
    // A declared length counts the encoded bytes, which is the body's length only without an encoding.
    if (!m_reply->rawHeader("Content-Encoding").isEmpty())
        return 0;
    return m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
}

std::optional<TransportError> PortalRequest::transportError(bool answered) const
{
    const QNetworkReply::NetworkError code = m_reply->error();
    const auto error = [&](TransportError::Kind kind) {
        return std::optional<TransportError>(TransportError{kind, int(code), m_reply->errorString()});
    };
    switch (m_abortReason) {
    case AbortReason::Oversized:
        return std::nullopt; // reported through the body limit
    case AbortReason::ResourceLimit:
        return error(TransportError::Kind::TimedOut);
    case AbortReason::Cancelled:
        return error(TransportError::Kind::Other);
    case AbortReason::None:
        break;
    }
    if (code == QNetworkReply::NoError || (answered && isHttpStatusError(code)))
        return std::nullopt;
    return error(kindOf(code));
}
