#include "autologin/ConnectivityProbe.h"

#include "common/LogOnChange.h"
#include "net/HttpExchange.h"

#include <QPointer>
#include <QSemaphore>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <cmath>
#include <future>
#include <memory>

namespace {

using std::chrono::milliseconds;

// How much longer than the request's own time-out the caller waits before it gives up.
constexpr milliseconds waitMargin{300};

const QString portalRedirectLog = QStringLiteral("⚠️ 网络检测被重定向到认证服务器，视为未联网: ");

// Redirects a probe follows before it gives up, as a browser would.
constexpr int maxRedirects = 20;

struct ProbeRequest
{
    QUrl url;
    milliseconds timeout;
    QUrl portal;
    std::promise<ConnectivityProbe::Answer> result;
    QPointer<HttpExchange> exchange; // touched on the worker thread only
};

bool isWebURL(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The portal is its host and port exactly: 127.0.0.10 or 10.248.98.20 is not 127.0.0.1 or 10.248.98.2.
bool leadsToPortal(const QUrl &target, const QUrl &portal)
{
    return !portal.host().isEmpty() && target.host() == portal.host() && target.port(80) == portal.port(80);
}

// Only the portal's own address, scheme included, vouches for the network.
ConnectivityProbe::Answer portalAnswer(const QUrl &target, const QUrl &portal)
{
    return target.scheme() == portal.scheme() ? ConnectivityProbe::Answer::PortalRedirect
                                              : ConnectivityProbe::Answer::Unreachable;
}

// Lives on the probe thread; every member runs there. Each probe hop has a connection of its own,
// closed when it ends: a connection kept from before a change of network would answer for the old
// network, and concurrent probes share nothing. The answer is read under HttpExchange's bounds, so
// no header or body a network sends keeps the thread busy after the caller has stopped waiting.
class ProbeWorker : public QObject
{
public:
    void start(const std::shared_ptr<ProbeRequest> &request) { send(request, request->url, 0); }

    void cancel(const std::shared_ptr<ProbeRequest> &request)
    {
        if (request->exchange)
            request->exchange->abort();
    }

private:
    void send(const std::shared_ptr<ProbeRequest> &request, const QUrl &url, int redirects)
    {
        auto *exchange = new HttpExchange(this);
        request->exchange = exchange;
        connect(exchange, &HttpExchange::finished, this, [this, exchange, request, redirects] {
            exchange->deleteLater();
            const HttpExchange::Response &response = exchange->response();
            const int status = response.statusCode.value_or(0);
            const QByteArray location = exchange->header("Location");
            if (response.error == QNetworkReply::NoError && isRedirect(status) && !location.isEmpty()
                && redirects < maxRedirects) {
                const QUrl target = exchange->url().resolved(QUrl::fromEncoded(location));
                if (leadsToPortal(target, request->portal)) {
                    m_redirectLog.write(portalRedirectLog + target.toString());
                    request->result.set_value(portalAnswer(target, request->portal));
                } else if (isWebURL(target)) {
                    send(request, target, redirects + 1);
                } else {
                    request->result.set_value(ConnectivityProbe::Answer::Unreachable);
                }
                return;
            }
            m_redirectLog.reset(); // the next redirect to the portal is news again
            const bool success = response.error == QNetworkReply::NoError && status >= 200 && status <= 299;
            request->result.set_value(success ? ConnectivityProbe::Answer::Reachable
                                              : ConnectivityProbe::Answer::Unreachable);
        });
        exchange->start("HEAD", url, {}, {}, 0, static_cast<int>(request->timeout.count()));
    }

    // While signed out every probe is sent to the portal: the journal hears of it once, until a probe
    // ends anywhere else.
    LogOnChange m_redirectLog;
};

// The one probe thread of the process, started on first use and stopped when the process ends.
class ProbeThread : public QThread
{
public:
    ProbeThread()
    {
        start();
        m_ready.acquire();
    }

    ~ProbeThread() override
    {
        quit();
        wait();
    }

    ProbeWorker *worker() const { return m_worker; }

protected:
    void run() override
    {
        ProbeWorker worker; // made here so that it belongs to this thread
        m_worker = &worker;
        m_ready.release();
        exec();
    }

private:
    QSemaphore m_ready;
    ProbeWorker *m_worker = nullptr;
};

ProbeThread &probeThread()
{
    static ProbeThread thread;
    return thread;
}

milliseconds toMilliseconds(double seconds)
{
    // A request time-out of 0 would mean none at all in Qt.
    if (!(seconds > 0.001))
        return milliseconds{1};
    return milliseconds{std::llround(std::min(seconds, 86400.0) * 1000.0)};
}

} // namespace

bool ConnectivityProbe::isReachable(const QString &urlString, double timeout, const QString &portalAddress)
{
    return probe(urlString, timeout, portalAddress) == Answer::Reachable;
}

ConnectivityProbe::Answer ConnectivityProbe::probe(const QString &urlString, double timeout,
                                                   const QString &portalAddress)
{
    const QUrl url(urlString, QUrl::StrictMode);
    if (!isWebURL(url))
        return Answer::Unreachable;

    auto request = std::make_shared<ProbeRequest>();
    request->url = url;
    request->timeout = toMilliseconds(timeout);
    request->portal = QUrl(QStringLiteral("http://") + portalAddress);
    std::future<Answer> result = request->result.get_future();

    ProbeWorker *worker = probeThread().worker();
    QMetaObject::invokeMethod(worker, [worker, request] { worker->start(request); }, Qt::QueuedConnection);
    if (result.wait_for(request->timeout + waitMargin) == std::future_status::ready)
        return result.get();
    QMetaObject::invokeMethod(worker, [worker, request] { worker->cancel(request); }, Qt::QueuedConnection);
    return Answer::Unreachable;
}
