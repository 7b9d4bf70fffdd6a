#pragma once

#include "autologin/ConnectivityProbe.h"
#include "autologin/NetworkStatus.h"
#include "common/LogOnChange.h"

#include <QObject>
#include <QThreadPool>

#include <functional>
#include <optional>

class NetworkProbe;

/// Asks the network probe for the network status: the SSID, the campus test on it, then the
/// connectivity probe. The SSID lookup and the probe, which can block on the system's Wi-Fi services
/// or the network for seconds, run on worker threads of the query's own; the answers come back on
/// the main thread, where the query lives, and the campus test (it reads the preferences) runs there.
/// The auto-login engine, the auto-login pane and `netlatchctl status` each ask through one.
class NetworkStatusQuery : public QObject
{
    Q_OBJECT

public:
    /// How the campus test's log lines reach the system log.
    enum class CampusLog {
        EveryRefresh, ///< every refresh writes them
        OnChange,     ///< only when they differ from the last refresh's: for a query asked every few seconds
    };

    explicit NetworkStatusQuery(NetworkProbe &probe, CampusLog campusLog = CampusLog::EveryRefresh,
                                QObject *parent = nullptr);

    /// Looks the network status up; wifiLookedUp and then refreshed follow. A refresh asked for while
    /// one is under way joins it: the one answer goes to everyone.
    void refresh();
    bool isRefreshing() const { return m_refreshing; }

    /// One SSID lookup off the main thread; `then` gets its answer on the main thread (not at all
    /// when the query is gone by then).
    void lookUpSSID(std::function<void(const std::optional<QString> &)> then);
    /// One connectivity probe off the main thread, answered as lookUpSSID is.
    void probeInternet(std::function<void(ConnectivityProbe::Answer)> then);

Q_SIGNALS:
    /// A refresh's SSID and campus test are in; its probe is still on its way.
    void wifiLookedUp(const std::optional<QString> &ssid, bool campusNetwork);
    /// A refresh has answered.
    void refreshed(const NetworkStatus &status);

private:
    template <typename Result>
    void inBackground(std::function<Result()> job, std::function<void(const Result &)> then);

    NetworkProbe &m_probe;
    const CampusLog m_campusLogging;
    LogOnChange m_campusLog;
    bool m_refreshing = false;
    QThreadPool m_lookups; // last: destroyed (and waited for) first
};
