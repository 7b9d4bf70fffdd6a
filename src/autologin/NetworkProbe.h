#pragma once

#include "autologin/ConnectivityProbe.h"
#include "common/LogOnChange.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class LocationAuthorization;
class Preferences;
class WifiClient;

/// The three questions every automatic sign-in decision rests on: which Wi-Fi network the computer
/// is on, whether it is a campus network and whether the internet is reachable; and the location
/// permission some systems want before they tell the SSID. Keeps no state beyond the last lookup's log
/// lines, so that the status command and the settings pane can ask without starting the auto-login engine. Lives on the
/// main thread; the three lookups may also be called from a background thread.
class NetworkProbe : public QObject
{
    Q_OBJECT

public:
    /// The campus networks. An SSID is one of them only when it equals an entry exactly.
    static inline const QStringList schoolSSIDs{QStringLiteral("larkmead_faculty"), QStringLiteral("larkmead_staff"),
                                                QStringLiteral("larkmead_student")};

    /// The time-out every caller gives the connectivity probe, in seconds.
    static constexpr double probeTimeout = 1.0;

    /// `probeURL` is the site whose root the probe asks; `portalAddress` is the portal's host[:port],
    /// so that a probe redirected to the portal's sign-in page counts as no internet.
    NetworkProbe(WifiClient &wifiClient, LocationAuthorization &locationManager, Preferences &preferences,
                 QString probeURL, QString portalAddress, QObject *parent = nullptr);

    /// True when `ssid` is one of schoolSSIDs, byte for byte.
    static bool isSchoolSSID(const QString &ssid);

    /// The SSID of the joined Wi-Fi network, or absent when no source can tell it (or the location
    /// permission is missing). Logs every attempt; a lookup whose lines repeat the previous lookup's
    /// word for word goes to the stderr copy only, as the system log already holds them. May block on
    /// the system's Wi-Fi services for a few of their time-outs: the engine calls it off the main thread.
    std::optional<QString> getCurrentWiFiSSID();

    /// True when the current SSID is a campus network; an unreadable SSID (a wired network) counts as
    /// one only when "skipWiFiCheckForAutoLogin" is set, and the engine then still wants the portal to
    /// answer the probe before it signs in. Looks the SSID up afresh each time.
    bool isConnectedToSchoolWiFi();

    /// The campus test on an SSID already looked up (absent: unreadable), with its log lines; those
    /// go through `recurringLog` when given. Main thread: it reads the preferences.
    bool isSchoolWiFi(const std::optional<QString> &ssid, LogOnChange *recurringLog = nullptr);

    /// True when a HEAD request to `urlString` is answered with 2xx within `timeout` seconds. A
    /// redirect to the portal (`portalAddress`'s host and port exactly) counts as unreachable. Blocks
    /// the calling thread for at most timeout + 0.3 s; safe from any thread, several at once.
    static bool checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress);

    /// checkNetworkConnection with this build's probe URL, portal and time-out.
    bool isInternetReachable() const;
    /// The same probe, telling an answer from the portal itself apart from other failures.
    ConnectivityProbe::Answer probeInternet() const;

    /// Logs the location permission and asks for it when it was never asked.
    void checkLocationPermission();

    /// Logs a change of the location permission; the next SSID lookup picks it up by itself.
    void locationManagerDidChangeAuthorization();

    const QString &probeURL() const { return m_probeURL; }
    const QString &portalAddress() const { return m_portalAddress; }

private:
    // The lookup's attempts (the permission granted), each adding its log lines to `lines`.
    std::optional<QString> lookUpSSID(QStringList &lines);
    std::optional<QString> ssidFromInterfaces(QStringList &lines);
    std::optional<QString> ssidFromDefaultInterface(QStringList &lines);
    std::optional<QString> ssidFromSecondSource(QStringList &lines);

    WifiClient &m_wifiClient;
    LocationAuthorization &m_locationManager;
    Preferences &m_preferences;
    const QString m_probeURL;
    const QString m_portalAddress;
    LogOnChange m_lookupLog;
};
