#pragma once

#include "Behaviour.h"

#include <httplib.h>

#include <mutex>
#include <set>
#include <string>

/// What the simulated portal accepts and how it behaves.
struct SimulatorOptions
{
    int port = 18080;
    std::string username = "demo";
    std::string password = "demo-password";
    Behaviour behaviour = Behaviour::Normal;
    /// Size of the streamed answer of the "huge" behaviour.
    int hugeMiB = 300;
    /// Whether the client starts signed in.
    bool signedIn = false;
};

/// A stand-in for the campus portal on loopback: serves the password sign-in page with a session
/// cookie and answers the sign-in form the way the portal does, or misbehaves as asked. It remembers
/// whether its client is signed in, and can end that session as the real portal does after an idle
/// time-out: POST /simulator/logout (answered to loopback clients only).
class PortalSimulator
{
public:
    explicit PortalSimulator(SimulatorOptions options);

    /// Registers the portal's routes, the log-out control and the request log on `server`.
    void install(httplib::Server &server);

    /// Registers the internet as the client sees it through this portal on `probeSite`: its root
    /// answers 204 while the client is signed in, and redirects to the portal's sign-in page otherwise.
    void installProbeSite(httplib::Server &probeSite);

private:
    void servePage(const httplib::Request &req, httplib::Response &res);
    void serveLogin(const httplib::Request &req, httplib::Response &res);
    /// Answers with a redirect if the behaviour redirects; true when it did.
    bool redirect(const httplib::Request &req, httplib::Response &res) const;
    /// The portal's verdict on a sign-in form: empty when it is accepted, else the refusal text.
    std::string refusal(const httplib::Request &req);
    void streamHugeAnswer(httplib::Response &res) const;
    static void logRequest(const httplib::Request &req, const httplib::Response &res);
    void setSignedIn(bool signedIn);
    bool isSignedIn();

    SimulatorOptions m_options;
    std::mutex m_mutex;
    std::set<std::string> m_sessions;
    unsigned m_nextSession = 1;
    bool m_signedIn = false;
};
