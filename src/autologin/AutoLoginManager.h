#pragma once

#include "common/SharedInstance.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class LocationAuthorization;
class Preferences;
class WifiClient;

/// Signs the computer into the campus portal by itself when it is on a campus network without
/// internet. This class also answers the questions that decision rests on: which Wi-Fi network the
/// computer is on, whether it is a campus network and whether the internet is reachable. Lives on
/// the main thread; the three lookups may also be called from a background thread.
class AutoLoginManager : public QObject, public SharedInstance<AutoLoginManager>
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
    AutoLoginManager(WifiClient &wifiClient, LocationAuthorization &locationManager, Preferences &preferences,
                     QString probeURL, QString portalAddress, QObject *parent = nullptr);

    /// The SSID of the joined Wi-Fi network, or absent when no source can tell it (or the location
    /// permission is missing). Logs every attempt.
    std::optional<QString> getCurrentWiFiSSID();

    /// True when the current SSID is a campus network; an unreadable SSID counts as one only when
    /// "skipWiFiCheckForAutoLogin" is set. Looks the SSID up afresh each time.
    bool isConnectedToSchoolWiFi();

    /// True when a HEAD request to `urlString` is answered with 2xx within `timeout` seconds. A
    /// redirect to the portal (host containing `portalAddress`'s host) counts as unreachable. Blocks
    /// the calling thread for at most timeout + 0.3 s; safe from any thread, several at once.
    static bool checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress);

    /// Logs the location permission and asks for it when it was never asked.
    void checkLocationPermission();

    /// Logs a change of the location permission; the next SSID lookup picks it up by itself.
    void locationManagerDidChangeAuthorization();

    const QString &probeURL() const { return m_probeURL; }
    const QString &portalAddress() const { return m_portalAddress; }

private:
    std::optional<QString> ssidFromInterfaces();
    std::optional<QString> ssidFromDefaultInterface();
    std::optional<QString> ssidFromSecondSource();

    WifiClient &m_wifiClient;
    LocationAuthorization &m_locationManager;
    Preferences &m_preferences;
    const QString m_probeURL;
    const QString m_portalAddress;
};
