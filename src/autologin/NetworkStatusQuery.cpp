#include "autologin/NetworkStatusQuery.h"

#include "autologin/NetworkProbe.h"

#include <QCoreApplication>

NetworkStatusQuery::NetworkStatusQuery(NetworkProbe &probe, CampusLog campusLog, QObject *parent)
    : QObject(parent), m_probe(probe), m_campusLogging(campusLog)
{
    // One lookup at a time is all a caller asks for; a second thread lets the engine's check run its
    // lookup while a slow status refresh is still waiting on a hung service.
    m_lookups.setMaxThreadCount(2);
    // The program's queries are never destroyed: a lookup still waiting on a hung service when the
    // program quits must end before the program's static state goes away under it.
    if (QCoreApplication *application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, [this] { m_lookups.waitForDone(); });
}

template <typename Result>
void NetworkStatusQuery::inBackground(std::function<Result()> job, std::function<void(const Result &)> then)
{
    m_lookups.start([this, job = std::move(job), then = std::move(then)] {
        const Result result = job();
        // Dropped with the query's pending events if the query is destroyed first.
        QMetaObject::invokeMethod(this, [then, result] { then(result); }, Qt::QueuedConnection);
    });
}

void NetworkStatusQuery::lookUpSSID(std::function<void(const std::optional<QString> &)> then)
{
    NetworkProbe *probe = &m_probe;
    inBackground<std::optional<QString>>([probe] { return probe->getCurrentWiFiSSID(); }, std::move(then));
}

void NetworkStatusQuery::probeInternet(std::function<void(ConnectivityProbe::Answer)> then)
{
    NetworkProbe *probe = &m_probe;
    inBackground<ConnectivityProbe::Answer>([probe] { return probe->probeInternet(); }, std::move(then));
}

void NetworkStatusQuery::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    lookUpSSID([this](const std::optional<QString> &ssid) {
        NetworkStatus status;
        status.ssid = ssid;
        status.campusNetwork =
            m_probe.isSchoolWiFi(ssid, m_campusLogging == CampusLog::OnChange ? &m_campusLog : nullptr);
        Q_EMIT wifiLookedUp(status.ssid, status.campusNetwork);
        probeInternet([this, status](ConnectivityProbe::Answer answer) mutable {
            status.internetReachable = answer == ConnectivityProbe::Answer::Reachable;
            m_refreshing = false;
            Q_EMIT refreshed(status);
        });
    });
}
