#include "PortalSimulator.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {
const char *const pagePath = "/ac_portal/default/pc.html";
const char *const loginPath = "/ac_portal/login.php";
const char *const sessionCookie = "PHPSESSID";
const char *const logoutPath = "/simulator/logout";

const char *const portalPage =
    "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>上网认证</title>\n"
    "<script src=\"/ac_portal/static/js/pc.js\"></script></head>\n"
    "<body><form id=\"login\" action=\"/ac_portal/login.php\">用户名 <input name=\"userName\"> 密码 "
    "<input name=\"pwd\" type=\"password\"></form></body></html>\n";
const char *const vpnPage = "<!DOCTYPE html>\n<html><head><title>Secure Access Gateway</title></head>\n"
                            "<body><h1>Sign In</h1><p>Your connection is protected by the corporate VPN.</p>"
                            "</body></html>\n";
// Loopback, yet not the portal's address: the client must refuse to go there.
const char *const foreignTarget = "http://127.66.66.66:18080/vpn/portal";
// How long the slow portal keeps a request waiting before it gives up on it.
constexpr auto slowHold = std::chrono::seconds(120);
constexpr size_t streamChunk = 64 * 1024;

std::string cookieValue(const std::string &header, const std::string &name)
{
    const std::string key = name + "=";
    for (size_t at = 0; at < header.size();) {
        size_t end = header.find(';', at);
        if (end == std::string::npos)
            end = header.size();
        size_t start = header.find_first_not_of(' ', at);
        if (start < end && header.compare(start, key.size(), key) == 0)
            return header.substr(start + key.size(), end - start - key.size());
        at = end + 1;
    }
    return {};
}

std::string jsAnswer(bool success, const std::string &msg)
{
    return std::string("{'success':") + (success ? "true" : "false") + ",'msg':'" + msg + "'}";
}
} // namespace

PortalSimulator::PortalSimulator(SimulatorOptions options)
    : m_options(std::move(options)), m_signedIn(m_options.signedIn)
{
}

void PortalSimulator::install(httplib::Server &server)
{
    server.Get(pagePath,
               [this](const httplib::Request &req, httplib::Response &res) { servePage(req, res); });
    server.Post(loginPath,
                [this](const httplib::Request &req, httplib::Response &res) { serveLogin(req, res); });
    server.Get(R"(/vpn/(loop/a|loop/b|hop/\d+))",
               [this](const httplib::Request &req, httplib::Response &res) {
                   if (!redirect(req, res))
                       res.status = 404;
               });
    server.Post(logoutPath, [this](const httplib::Request &req, httplib::Response &res) {
        if (req.remote_addr.rfind("127.", 0) != 0) {
            res.status = 403;
            return;
        }
        setSignedIn(false);
        res.set_content("logged out\n", "text/plain");
    });
    server.set_logger(&PortalSimulator::logRequest);
}

void PortalSimulator::installProbeSite(httplib::Server &probeSite)
{
    const std::string signInPage = "http://127.0.0.1:" + std::to_string(m_options.port) + pagePath;
    probeSite.Get("/", [this, signInPage](const httplib::Request &, httplib::Response &res) {
        if (isSignedIn())
            res.status = 204;
        else
            res.set_redirect(signInPage);
    });
    probeSite.set_logger(&PortalSimulator::logRequest);
}

void PortalSimulator::setSignedIn(bool signedIn)
{
    std::lock_guard lock(m_mutex);
    m_signedIn = signedIn;
}

bool PortalSimulator::isSignedIn()
{
    std::lock_guard lock(m_mutex);
    return m_signedIn;
}

void PortalSimulator::servePage(const httplib::Request &req, httplib::Response &res)
{
    if (redirect(req, res))
        return;
    switch (m_options.behaviour) {
    case Behaviour::Slow:
        std::this_thread::sleep_for(slowHold);
        res.status = 504;
        return;
    case Behaviour::VpnPage:
        res.set_content(vpnPage, "text/html; charset=utf-8");
        return;
    default:
        break;
    }
    std::string session;
    {
        std::lock_guard lock(m_mutex);
        session = "sim" + std::to_string(m_nextSession++);
        m_sessions.insert(session);
    }
    res.set_header("Set-Cookie", std::string(sessionCookie) + "=" + session + "; Path=/; HttpOnly");
    res.set_content(portalPage, "text/html; charset=utf-8");
}

void PortalSimulator::serveLogin(const httplib::Request &req, httplib::Response &res)
{
    if (redirect(req, res))
        return;
    const std::string refused = refusal(req);
    const bool answers = m_options.behaviour == Behaviour::Normal || m_options.behaviour == Behaviour::HtmlAnswer ||
                         m_options.behaviour == Behaviour::PlainText;
    if (answers && refused.empty())
        setSignedIn(true);
    switch (m_options.behaviour) {
    case Behaviour::Slow:
        std::this_thread::sleep_for(slowHold);
        res.status = 504;
        return;
    case Behaviour::VpnPage:
        res.set_content(vpnPage, "text/html; charset=utf-8");
        return;
    case Behaviour::Huge:
        streamHugeAnswer(res);
        return;
    case Behaviour::HtmlAnswer:
        res.set_content(std::string("<!DOCTYPE html>\n<html><body><script>var result = {\"success\":") +
                            (refused.empty() ? "true" : "false") + ",\"msg\":\"" +
                            (refused.empty() ? "认证成功" : refused) + "\"};</script></body></html>\n",
                        "text/html; charset=utf-8");
        return;
    case Behaviour::PlainText:
        res.set_content(refused.empty() ? "logon success" : "认证失败", "text/plain; charset=utf-8");
        return;
    default:
        res.set_content(refused.empty() ? jsAnswer(true, "认证成功") : jsAnswer(false, refused),
                        "text/html; charset=utf-8");
    }
}

bool PortalSimulator::redirect(const httplib::Request &req, httplib::Response &res) const
{
    switch (m_options.behaviour) {
    case Behaviour::RedirectLoop:
        res.set_redirect(req.path == "/vpn/loop/a" ? "/vpn/loop/b" : "/vpn/loop/a");
        return true;
    case Behaviour::ForeignRedirect:
        res.set_redirect(foreignTarget);
        return true;
    case Behaviour::TooManyRedirects: {
        const std::string hop = req.path.rfind("/vpn/hop/", 0) == 0 ? req.path.substr(9) : "0";
        res.set_redirect("/vpn/hop/" + std::to_string(std::stoi(hop) + 1));
        return true;
    }
    default:
        return false;
    }
}

std::string PortalSimulator::refusal(const httplib::Request &req)
{
    const std::string cookies = req.get_header_value("Cookie");
    if (cookieValue(cookies, "ac_login_info") != "passwork")
        return "缺少登录信息，请刷新页面后重试";
    {
        std::lock_guard lock(m_mutex);
        if (!m_sessions.count(cookieValue(cookies, sessionCookie)))
            return "会话已过期，请刷新页面后重试";
    }
    if (req.get_param_value("opr") != "pwdLogin" || req.get_param_value("rememberPwd") != "0")
        return "请求参数错误";
    if (req.get_param_value("userName") != m_options.username ||
        req.get_param_value("pwd") != m_options.password)
        return "用户名或密码错误";
    return {};
}

void PortalSimulator::streamHugeAnswer(httplib::Response &res) const
{
    // Streamed chunk by chunk, never held whole: the answer may be hundreds of MiB.
    const size_t total = size_t(m_options.hugeMiB) << 20;
    res.set_chunked_content_provider(
        "text/html; charset=utf-8", [total](size_t offset, httplib::DataSink &sink) {
            if (offset >= total) {
                sink.done();
                return true;
            }
            std::string chunk = offset == 0 ? jsAnswer(false, "") : std::string();
            chunk.resize(std::min(streamChunk, total - offset), ' ');
            return sink.write(chunk.data(), chunk.size());
        });
}

void PortalSimulator::logRequest(const httplib::Request &req, const httplib::Response &res)
{
    std::string line =
        "portal-simulator: " + req.method + " " + req.target + " -> " + std::to_string(res.status);
    if (req.path == loginPath) {
        // The form as it arrived, with the password masked.
        line += " [userName=" + req.get_param_value("userName") +
                " pwd=*** opr=" + req.get_param_value("opr") +
                " rememberPwd=" + req.get_param_value("rememberPwd") +
                "] Cookie: " + req.get_header_value("Cookie");
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}
