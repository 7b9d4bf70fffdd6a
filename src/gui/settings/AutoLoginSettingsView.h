#pragma once

#include "autologin/NetworkStatusQuery.h"
#include "common/NotificationCenter.h"
#include "gui/widgets/ScrollingPane.h"

#include <QStringList>
#include <QTimer>

#include <optional>

struct AppContext;
class BusyButton;
class QLabel;
class QPlainTextEdit;
class ToggleSwitch;
struct PreferenceKey;

/// The "自动联网" pane: the automatic sign-in switches, the current Wi-Fi network and internet
/// reachability with a log of refreshes, and which process runs the engine. While shown it refreshes
/// every minute; the SSID lookup and the probe run on the network status query's threads, never on
/// the main thread.
class AutoLoginSettingsView : public ScrollingPane
{
    Q_OBJECT

public:
    static constexpr int refreshIntervalMs = 60'000;
    static constexpr int maxLogLines = 50;

    explicit AutoLoginSettingsView(AppContext &context, QWidget *parent = nullptr);
    ~AutoLoginSettingsView() override;

    /// Looks the Wi-Fi network up and probes the internet, off the main thread; the status card and
    /// the log follow when both answers are in. Does nothing while a refresh is still running.
    void refresh();

    bool isRefreshing() const { return m_networkStatus.isRefreshing(); }
    /// The log, newest line first.
    const QStringList &refreshLogs() const { return m_refreshLogs; }
    const QTimer &refreshTimer() const { return m_refreshTimer; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *createSwitchCard();
    /// A switch that writes the boolean `key` (and saves it at once, for a daemon that reads the file).
    ToggleSwitch *preferenceSwitch(const PreferenceKey &key, const QString &objectName);
    QWidget *createStatusCard();
    QWidget *createLogCard();

    void setAutoLoginEnabled(bool enabled);
    void setPartsEnabled(bool enabled);
    void wifiLookedUp(const std::optional<QString> &ssid, bool campusNetwork);
    void refreshed(const NetworkStatus &status);
    void addLog(const QString &message);
    void clearLogs();
    /// The engine line and the switch follow which process runs the engine (it may change hands).
    void showEngineOwner();

    AppContext &m_context;
    QTimer m_refreshTimer;
    NetworkStatusQuery m_networkStatus;
    QStringList m_refreshLogs;
    NotificationCenter::Token m_engineObserver = 0;

    ToggleSwitch *m_autoLoginSwitch = nullptr;
    ToggleSwitch *m_reconnectSwitch = nullptr;
    ToggleSwitch *m_wiredSwitch = nullptr;
    QLabel *m_wifiValue = nullptr;
    QLabel *m_networkDot = nullptr;
    QLabel *m_networkValue = nullptr;
    QLabel *m_lastRefreshTitle = nullptr;
    QLabel *m_lastRefreshValue = nullptr;
    QLabel *m_engineValue = nullptr;
    BusyButton *m_refreshButton = nullptr;
    QPlainTextEdit *m_logBox = nullptr;
};
