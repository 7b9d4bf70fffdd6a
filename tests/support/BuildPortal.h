#pragma once

#include "LocalHttpServer.h"
#include "common/BuildConfig.h"

#include <QUrl>

#include <httplib.h>

#include <atomic>
#include <string>

/// The port of one of the build's outside addresses ("host:port" or a URL); every test build puts
/// them on loopback.
inline int buildPort(const char *address)
{
    const QString text = QString::fromUtf8(address);
    return QUrl(text.contains(u"://") ? text : QStringLiteral("http://") + text).port(80);
}

/// The portal at the build's own address, as programs under test reach it: its sign-in page and its
/// sign-in form, which accepts one account. Counts the requests it gets and the forms posted to it.
class BuildPortal
{
public:
    BuildPortal(const std::string &username, const std::string &password)
    {
        httplib::Server &server = m_server.server();
        server.set_pre_routing_handler([this](const auto &, auto &) {
            ++requests;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.Get("/ac_portal/default/pc.html",
                   [](const auto &, auto &res) { res.set_content("<html>ac_portal login</html>", "text/html"); });
        server.Post("/ac_portal/login.php", [this, username, password](const httplib::Request &req, auto &res) {
            ++forms;
            const bool accepted = req.get_param_value("userName") == username && req.get_param_value("pwd") == password;
            res.set_content(accepted ? "{'success':true,'msg':'ok'}" : "{'success':false,'msg':'用户名或密码错误'}",
                            "text/html");
        });
    }

    /// False when the build's portal port is taken.
    bool start() { return m_server.start(buildPort(BuildConfig::portalAddress)); }

    std::atomic<int> requests = 0;
    std::atomic<int> forms = 0;

private:
    LocalHttpServer m_server;
};
