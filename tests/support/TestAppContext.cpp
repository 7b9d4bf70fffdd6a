#include "TestAppContext.h"

#include <httplib.h>

#include <QtGlobal>

#include <chrono>
#include <thread>

TestAppContext::TestAppContext()
{
    portal.server().Get("/", [this](const auto &, auto &res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(probeDelayMs.load()));
        res.status = probeStatus;
        ++probesAnswered;
    });
    portal.server().Get("/ac_portal/default/pc.html", [](const auto &, auto &res) {
        res.set_header("Set-Cookie", "session=1; Path=/");
        res.set_content("<html></html>", "text/html");
    });
    portal.server().Post("/ac_portal/login.php", [this](const httplib::Request &req, httplib::Response &res) {
        ++loginPosts;
        std::this_thread::sleep_for(std::chrono::milliseconds(loginDelayMs.load()));
        const bool accepted = QString::fromStdString(req.get_param_value("userName")) == acceptedUsername &&
                              QString::fromStdString(req.get_param_value("pwd")) == acceptedPassword;
        if (accepted)
            probeStatus = 204;
        const QString answer = accepted ? QStringLiteral("{'success':true,'msg':'ok'}")
                                        : QStringLiteral("{'success':false,'msg':'%1'}").arg(refusalMessage);
        res.set_content(answer.toStdString(), "text/html");
    });
    if (!portal.start())
        qFatal("TestAppContext: no free port on 127.0.0.1 for the portal");

    // Uploads go to a closed port on loopback: they fail quietly, as on a network without the server.
    statistics =
        std::make_unique<StatisticsManager>(preferences, clock, QStringLiteral("http://127.0.0.1:9/api"),
                                            directory.filePath(QStringLiteral("history")));
    authService = std::make_unique<HTTPAuthService>(
        portal.address(), notifications, [this](const QString &user) { statistics->recordLogin(user); });
    networkProbe =
        std::make_unique<NetworkProbe>(wifi, location, preferences, portal.url(), portal.address());
    m_context.reset(new AppContext{preferences, keychain, *authService, *statistics, *networkProbe,
                                   notifications, banners, versions, welcome, launchAtLogin});
    m_context->shortcuts = &shortcuts;
}

void TestAppContext::storeAccount(const QString &username, const QString &password)
{
    secretStore.put(KeychainHelper::service, {{KeychainHelper::usernameAccount, username.toUtf8()},
                                              {KeychainHelper::passwordAccount, password.toUtf8()}});
}
