#include "platform/MissingDesktopAdapters.h"

#include "autologin/SystemEvents.h"
#include "autologin/WifiClient.h"
#include "desktop/BannerCenter.h"
#include "store/SecretStore.h"

#include <utility>

namespace {

class UnavailableSecretStore final : public SecretStore
{
public:
    explicit UnavailableSecretStore(QString problem) : m_problem(std::move(problem)) {}

    void readItems(const QString &, const QObject *receiver, ReadHandler done) override
    {
        answerLater(receiver, [done = std::move(done), result = unavailable()] { done(result, {}); });
    }

    void replaceItems(const QString &, const Items &, const QObject *receiver, WriteHandler done) override
    {
        answerLater(receiver, [done = std::move(done), result = unavailable()] { done(result); });
    }

private:
    Result unavailable() const { return {Status::Unavailable, m_problem}; }

    QString m_problem;
};

// Like a session without a notification server: the first request hears why, the rest are dropped.
class UnavailableBannerCenter final : public BannerCenter
{
public:
    explicit UnavailableBannerCenter(QString problem) : m_problem(std::move(problem)) {}

    void requestAuthorization(ErrorHandler onError) override { tellOnce(onError); }
    void post(const QString &, const QString &, ErrorHandler onError) override { tellOnce(onError); }

private:
    void tellOnce(const ErrorHandler &onError)
    {
        if (!std::exchange(m_told, true) && onError)
            onError(m_problem);
    }

    QString m_problem;
    bool m_told = false;
};

class NoWifiClient final : public WifiClient
{
public:
    QList<Interface> interfaces() const override { return {}; }
    std::optional<Interface> defaultInterface() const override { return std::nullopt; }
    std::optional<QStringList> supportedInterfaceNames() const override { return std::nullopt; }
    std::optional<QString> currentNetworkSSID(const QString &) const override { return std::nullopt; }
};

class NoSystemEvents final : public SystemEvents
{
public:
    void start() override {}
    void stop() override {}
};

} // namespace

MissingDesktopAdapters::MissingDesktopAdapters(QString problem) : m_problem(std::move(problem)) {}

SecretStore *MissingDesktopAdapters::createSecretStore()
{
    return new UnavailableSecretStore(m_problem);
}

BannerCenter *MissingDesktopAdapters::createBannerCenter()
{
    return new UnavailableBannerCenter(m_problem);
}

WifiClient *MissingDesktopAdapters::createWifiClient()
{
    return new NoWifiClient;
}

SystemEvents *MissingDesktopAdapters::createSystemEvents()
{
    return new NoSystemEvents;
}
