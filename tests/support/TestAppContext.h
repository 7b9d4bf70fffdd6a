#pragma once

#include "FakeBannerCenter.h"
#include "FakeHotKeyService.h"
#include "FakeKeyDownMonitor.h"
#include "FakeLocationAuthorization.h"
#include "FakeSecretStore.h"
#include "FakeWifiClient.h"
#include "LocalHttpServer.h"
#include "MockClock.h"

#include "auth/HTTPAuthService.h"
#include "autologin/NetworkProbe.h"
#include "common/NotificationCenter.h"
#include "desktop/VersionManager.h"
#include "desktop/WelcomeManager.h"
#include "gui/AppContext.h"
#include "platform/AutostartEntry.h"
#include "shortcuts/GlobalShortcutsManager.h"
#include "stats/StatisticsManager.h"
#include "store/KeychainHelper.h"
#include "store/Preferences.h"

#include <QTemporaryDir>

#include <atomic>
#include <memory>

/// Everything a window or pane works with, over fakes and one local portal on 127.0.0.1: a scratch
/// preference file, an in-memory secret store, recorded banners, a Wi-Fi client the test fills in and
/// a notification centre of its own. The portal accepts `acceptedUsername`/`acceptedPassword` and
/// refuses anything else with `refusalMessage`; its root answers the connectivity probe with
/// `probeStatus` after `probeDelayMs`. No engine runs unless a test builds one.
class TestAppContext
{
public:
    TestAppContext();

    AppContext &context() { return *m_context; }

    /// Stores an account in the fake secret store, replacing the one there.
    void storeAccount(const QString &username, const QString &password);

    QTemporaryDir directory;
    Preferences preferences{
        std::make_unique<QSettings>(directory.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat)};
    FakeSecretStore secretStore;
    KeychainHelper keychain{secretStore};
    NotificationCenter notifications;
    FakeBannerCenter banners;
    MockClock clock;
    FakeWifiClient wifi;
    FakeLocationAuthorization location{LocationAuthorization::AuthorizedAlways};
    LocalHttpServer portal;
    QString acceptedUsername = QStringLiteral("demo");
    QString acceptedPassword = QStringLiteral("demo-password");
    QString refusalMessage = QStringLiteral("用户名或密码错误");
    std::atomic<int> probeStatus{503};
    /// How long the probe site takes to answer, and how many probes it has answered.
    std::atomic<int> probeDelayMs{0};
    std::atomic<int> probesAnswered{0};
    std::atomic<int> loginPosts{0};
    /// How long the portal holds its answer to a sign-in.
    std::atomic<int> loginDelayMs{0};
    std::unique_ptr<StatisticsManager> statistics;
    std::unique_ptr<HTTPAuthService> authService;
    std::unique_ptr<NetworkProbe> networkProbe;
    VersionManager versions{preferences};
    WelcomeManager welcome{preferences};
    AutostartEntry launchAtLogin;
    FakeHotKeyService hotKeys;
    FakeKeyDownMonitor keyDownMonitor;
    GlobalShortcutsManager shortcuts{preferences, hotKeys, keyDownMonitor};

private:
    std::unique_ptr<AppContext> m_context;
};
