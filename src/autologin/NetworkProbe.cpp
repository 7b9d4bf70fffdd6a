#include "autologin/NetworkProbe.h"

#include "autologin/ConnectivityProbe.h"
#include "autologin/LocationAuthorization.h"
#include "autologin/WifiClient.h"
#include "common/Log.h"
#include "store/Preferences.h"

namespace {

// SSID lookup. Placeholders are filled in one arg() call so that a '%' in a name stays as it is.
const QString noPermissionLog = QStringLiteral("⚠️ 没有位置权限，无法获取WiFi SSID");
const QString interfaceSSIDLog = QStringLiteral("✅ 通过CoreWLAN获取到SSID: %1 (接口: %2, 模式: %3)");
const QString interfaceEmptySSIDLog = QStringLiteral("🔍 接口 %1 处于 %2 模式但SSID为空");
const QString interfaceNotStationLog = QStringLiteral("🔍 接口 %1 处于 %2 模式（非station模式）");
const QString noDefaultInterfaceLog = QStringLiteral("⚠️ CoreWLAN无法获取默认接口");
const QString defaultInterfaceLog = QStringLiteral("🔍 默认接口: %1, 模式: %2, 电源: %3");
const QString defaultInterfaceSSIDLog = QStringLiteral("✅ 通过CoreWLAN默认接口获取到SSID: ");
const QString defaultInterfaceEmptySSIDLog = QStringLiteral("⚠️ CoreWLAN默认接口处于station模式但SSID为空，可能是权限问题");
const QString defaultInterfaceNotStationLog = QStringLiteral("⚠️ CoreWLAN默认接口未处于station模式（当前模式: %1）");
const QString noInterfaceNamesLog = QStringLiteral("⚠️ SystemConfiguration无法获取网络接口列表（可能需要位置权限）");
const QString interfaceNamesLog = QStringLiteral("🔍 SystemConfiguration找到 %1 个网络接口");
const QString secondSourceSSIDLog = QStringLiteral("✅ 通过SystemConfiguration获取到SSID: ");
const QString allAttemptsFailedLog = QStringLiteral("⚠️ 所有方法都无法获取WiFi SSID");
const QString permissionHintLog = QStringLiteral(
    "💡 提示：如果确实连接了WiFi，可能是权限问题。在macOS上，获取WiFi SSID可能需要位置权限或特殊权限。");
const QString unknownInterfaceName = QStringLiteral("unknown");

// Campus test
const QString schoolWiFiLog = QStringLiteral("✅ 已连接到学校WiFi: ");
const QString notSchoolWiFiLog = QStringLiteral("⚠️ 当前WiFi不是学校网络: ");
const QString ssidUnreadableLog = QStringLiteral("⚠️ 无法获取当前WiFi SSID");
const QString skipWiFiCheckLog = QStringLiteral("⚠️ 用户已启用'跳过WiFi检查'选项，允许自动联网");

// Location permission
const QString permissionStatusLog = QStringLiteral("🔍 当前位置权限状态: ");
const QString permissionDeniedLog = QStringLiteral("⚠️ 位置权限被拒绝，无法获取WiFi SSID");
const QString permissionSettingsHintLog =
    QStringLiteral("💡 请前往 系统设置 > 隐私与安全性 > 位置服务，允许此应用访问位置");
const QString permissionGrantedLog = QStringLiteral("✅ 位置权限已授予");
const QString permissionRequestLog = QStringLiteral("📱 请求位置权限以获取WiFi信息...");
const QString permissionChangedLog = QStringLiteral("🔍 位置权限状态已改变: ");
const QString permissionNowGrantedLog = QStringLiteral("✅ 位置权限已授予，现在可以获取WiFi SSID");

bool isJoined(WifiClient::InterfaceMode mode)
{
    return mode == WifiClient::InterfaceMode::Station || mode == WifiClient::InterfaceMode::IBSS;
}

int modeNumber(WifiClient::InterfaceMode mode)
{
    return static_cast<int>(mode);
}

QString nameOf(const WifiClient::Interface &interface)
{
    return interface.name.value_or(unknownInterfaceName);
}

std::optional<QString> ssidText(const WifiClient::Interface &interface)
{
    if (!interface.ssid || interface.ssid->isEmpty())
        return std::nullopt;
    return WifiClient::ssidText(*interface.ssid);
}

bool isDenied(LocationAuthorization::Status status)
{
    return status == LocationAuthorization::Restricted || status == LocationAuthorization::Denied;
}

} // namespace

NetworkProbe::NetworkProbe(WifiClient &wifiClient, LocationAuthorization &locationManager, Preferences &preferences,
                           QString probeURL, QString portalAddress, QObject *parent)
    : QObject(parent)
    , m_wifiClient(wifiClient)
    , m_locationManager(locationManager)
    , m_preferences(preferences)
    , m_probeURL(std::move(probeURL))
    , m_portalAddress(std::move(portalAddress))
{
    connect(&m_locationManager, &LocationAuthorization::authorizationChanged, this,
            &NetworkProbe::locationManagerDidChangeAuthorization);
}

std::optional<QString> NetworkProbe::getCurrentWiFiSSID()
{
    if (m_locationManager.authorizationStatus() != LocationAuthorization::AuthorizedAlways) {
        m_lookupLog.write(noPermissionLog);
        // The permission belongs to the main thread; a lookup from a background thread asks there.
        QMetaObject::invokeMethod(this, &NetworkProbe::checkLocationPermission);
        return std::nullopt;
    }
    QStringList lines;
    const std::optional<QString> ssid = lookUpSSID(lines);
    m_lookupLog.write(lines);
    return ssid;
}

std::optional<QString> NetworkProbe::lookUpSSID(QStringList &lines)
{
    if (auto ssid = ssidFromInterfaces(lines))
        return ssid;
    if (auto ssid = ssidFromDefaultInterface(lines))
        return ssid;
    if (auto ssid = ssidFromSecondSource(lines))
        return ssid;
    lines << allAttemptsFailedLog << permissionHintLog;
    return std::nullopt;
}

std::optional<QString> NetworkProbe::ssidFromInterfaces(QStringList &lines)
{
    for (const WifiClient::Interface &interface : m_wifiClient.interfaces()) {
        const int mode = modeNumber(interface.mode);
        if (!isJoined(interface.mode)) {
            lines << interfaceNotStationLog.arg(nameOf(interface), QString::number(mode));
            continue;
        }
        if (auto ssid = ssidText(interface)) {
            lines << interfaceSSIDLog.arg(*ssid, nameOf(interface), QString::number(mode));
            return ssid;
        }
        lines << interfaceEmptySSIDLog.arg(nameOf(interface), QString::number(mode));
    }
    return std::nullopt;
}

std::optional<QString> NetworkProbe::ssidFromDefaultInterface(QStringList &lines)
{
    const std::optional<WifiClient::Interface> interface = m_wifiClient.defaultInterface();
    if (!interface) {
        lines << noDefaultInterfaceLog;
        return std::nullopt;
    }
    lines << defaultInterfaceLog.arg(nameOf(*interface), QString::number(modeNumber(interface->mode)),
                                     interface->powerOn ? QStringLiteral("true") : QStringLiteral("false"));
    if (!isJoined(interface->mode)) {
        lines << defaultInterfaceNotStationLog.arg(modeNumber(interface->mode));
        return std::nullopt;
    }
    if (auto ssid = ssidText(*interface)) {
        lines << defaultInterfaceSSIDLog + *ssid;
        return ssid;
    }
    lines << defaultInterfaceEmptySSIDLog;
    return std::nullopt;
}

std::optional<QString> NetworkProbe::ssidFromSecondSource(QStringList &lines)
{
    const std::optional<QStringList> names = m_wifiClient.supportedInterfaceNames();
    if (!names) {
        lines << noInterfaceNamesLog;
        return std::nullopt;
    }
    lines << interfaceNamesLog.arg(names->size());
    for (const QString &name : *names) {
        // This source's answer is taken as it stands, an empty name included.
        if (auto ssid = m_wifiClient.currentNetworkSSID(name)) {
            lines << secondSourceSSIDLog + *ssid;
            return ssid;
        }
    }
    return std::nullopt;
}

bool NetworkProbe::isSchoolSSID(const QString &ssid)
{
    return schoolSSIDs.contains(ssid, Qt::CaseSensitive);
}

bool NetworkProbe::isConnectedToSchoolWiFi()
{
    return isSchoolWiFi(getCurrentWiFiSSID());
}

bool NetworkProbe::isSchoolWiFi(const std::optional<QString> &ssid, LogOnChange *recurringLog)
{
    QStringList lines;
    bool school = false;
    if (ssid) {
        school = isSchoolSSID(*ssid);
        lines << (school ? schoolWiFiLog : notSchoolWiFiLog) + *ssid;
    } else {
        lines << ssidUnreadableLog;
        school = m_preferences.boolValue(PreferenceKeys::skipWiFiCheckForAutoLogin);
        if (school)
            lines << skipWiFiCheckLog;
    }
    if (recurringLog) {
        recurringLog->write(lines);
    } else {
        for (const QString &line : std::as_const(lines))
            Log::write(line);
    }
    return school;
}

bool NetworkProbe::checkNetworkConnection(const QString &urlString, double timeout, const QString &portalAddress)
{
    return ConnectivityProbe::isReachable(urlString, timeout, portalAddress);
}

bool NetworkProbe::isInternetReachable() const
{
    return probeInternet() == ConnectivityProbe::Answer::Reachable;
}

ConnectivityProbe::Answer NetworkProbe::probeInternet() const
{
    return ConnectivityProbe::probe(m_probeURL, probeTimeout, m_portalAddress);
}

void NetworkProbe::checkLocationPermission()
{
    const LocationAuthorization::Status status = m_locationManager.authorizationStatus();
    Log::write(permissionStatusLog + QString::number(status));
    if (isDenied(status)) {
        Log::write(permissionDeniedLog);
        Log::write(permissionSettingsHintLog);
    } else if (status == LocationAuthorization::AuthorizedAlways) {
        Log::write(permissionGrantedLog);
    } else if (status == LocationAuthorization::NotDetermined) {
        Log::write(permissionRequestLog);
        m_locationManager.requestAlwaysAuthorization();
    }
}

void NetworkProbe::locationManagerDidChangeAuthorization()
{
    const LocationAuthorization::Status status = m_locationManager.authorizationStatus();
    Log::write(permissionChangedLog + QString::number(status));
    if (isDenied(status))
        Log::write(permissionDeniedLog);
    else if (status == LocationAuthorization::AuthorizedAlways)
        Log::write(permissionNowGrantedLog);
}
