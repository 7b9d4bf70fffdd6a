#include "autologin/ConnectivityProbe.h"

#include "common/Log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
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

struct ProbeRequest
{
    QUrl url;
    milliseconds timeout;
    QString portalHost;
    std::promise<bool> result;
    QPointer<QNetworkReply> reply; // touched on the worker thread only
};

bool leadsToPortal(const QUrl &target, const QString &portalHost)
{
    return !portalHost.isEmpty() && target.host().contains(portalHost);
}

// Lives on the probe thread; every member runs there. Each probe gets network access of its own,
// dropped with its connections when it ends: a connection kept from before a change of network
// would answer for the old network, and concurrent probes share nothing.
class ProbeWorker : public QObject
{
public:
    void start(const std::shared_ptr<ProbeRequest> &request)
    {
        auto *network = new QNetworkAccessManager(this);
        QNetworkRequest networkRequest(request->url);
        networkRequest.setTransferTimeout(static_cast<int>(request->timeout.count()));
        networkRequest.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                    QNetworkRequest::UserVerifiedRedirectPolicy);
        QNetworkReply *reply = network->head(networkRequest);
        request->reply = reply;
        connect(reply, &QNetworkReply::redirected, reply, [reply, portalHost = request->portalHost](const QUrl &target) {
            if (leadsToPortal(target, portalHost)) {
                Log::write(portalRedirectLog + target.toString());
                reply->abort();
            } else {
                Q_EMIT reply->redirectAllowed();
            }
        });
        connect(reply, &QNetworkReply::finished, network, [network, reply, request] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            request->result.set_value(reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299);
            network->deleteLater();
        });
    }

    void cancel(const std::shared_ptr<ProbeRequest> &request)
    {
        if (request->reply)
            request->reply->abort();
    }
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
    const QUrl url(urlString, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;

    auto request = std::make_shared<ProbeRequest>();
    request->url = url;
    request->timeout = toMilliseconds(timeout);
    request->portalHost = QUrl(QStringLiteral("http://") + portalAddress).host();
    std::future<bool> result = request->result.get_future();

    ProbeWorker *worker = probeThread().worker();
    QMetaObject::invokeMethod(worker, [worker, request] { worker->start(request); }, Qt::QueuedConnection);
    if (result.wait_for(request->timeout + waitMargin) == std::future_status::ready)
        return result.get();
    QMetaObject::invokeMethod(worker, [worker, request] { worker->cancel(request); }, Qt::QueuedConnection);
    return false;
}
