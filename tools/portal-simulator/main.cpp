// netlatch-portal-simulator: a local stand-in for the campus portal, for demos and benchmarks.
// Listens on 127.0.0.1 only.

#include "PortalSimulator.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {
void printUsage(std::FILE *out)
{
    std::fprintf(out,
                 "Usage: netlatch-portal-simulator [options]\n\n"
                 "Serves the portal's sign-in page and login endpoint on 127.0.0.1. POST /simulator/logout\n"
                 "ends the client's session, as the portal's idle time-out does.\n\n"
                 "Options:\n"
                 "  --port N            port to listen on (default 18080)\n"
                 "  --username NAME     the account the portal accepts (default demo)\n"
                 "  --password TEXT     its password (default demo-password)\n"
                 "  --behaviour NAME    one of: %s (default normal)\n"
                 "  --huge-mib N        size of the streamed answer of 'huge' (default 300)\n"
                 "  --signed-in         start with the client signed in\n"
                 "  --probe-port N      also serve the connectivity probe site on this port: 204 while\n"
                 "                      signed in, else a redirect to the sign-in page (default: none)\n"
                 "  -h, --help          show this help\n",
                 behaviourNames().c_str());
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "netlatch-portal-simulator: %s\n\n", message.c_str());
    printUsage(stderr);
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    SimulatorOptions options;
    int probePort = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-h" || option == "--help") {
            printUsage(stdout);
            return 0;
        }
        if (option == "--signed-in") {
            options.signedIn = true;
            continue;
        }
        if (i + 1 >= argc)
            return usageError("unknown option or missing value: " + option);
        const std::string value = argv[++i];
        if (option == "--port") {
            options.port = std::atoi(value.c_str());
        } else if (option == "--username") {
            options.username = value;
        } else if (option == "--password") {
            options.password = value;
        } else if (option == "--probe-port") {
            probePort = std::atoi(value.c_str());
            if (probePort <= 0 || probePort > 65535)
                return usageError("--probe-port takes a port number");
        } else if (option == "--huge-mib") {
            options.hugeMiB = std::atoi(value.c_str());
        } else if (option == "--behaviour") {
            const auto behaviour = behaviourFromName(value);
            if (!behaviour)
                return usageError("unknown behaviour: " + value);
            options.behaviour = *behaviour;
        } else {
            return usageError("unknown option: " + option);
        }
    }
    if (options.port <= 0 || options.port > 65535 || options.hugeMiB <= 0)
        return usageError("--port and --huge-mib take positive numbers");

    httplib::Server server;
    PortalSimulator simulator(options);
    simulator.install(server);
    if (!server.bind_to_port("127.0.0.1", options.port)) {
        std::fprintf(stderr, "netlatch-portal-simulator: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    httplib::Server probeSite;
    std::thread probeThread;
    if (probePort > 0) {
        simulator.installProbeSite(probeSite);
        if (!probeSite.bind_to_port("127.0.0.1", probePort)) {
            std::fprintf(stderr, "netlatch-portal-simulator: cannot listen on 127.0.0.1:%d\n", probePort);
            return 1;
        }
        probeThread = std::thread([&probeSite] { probeSite.listen_after_bind(); });
        std::fprintf(stderr, "portal-simulator: probe site on http://127.0.0.1:%d\n", probePort);
    }
    std::fprintf(stderr, "portal-simulator: listening on http://127.0.0.1:%d\n", options.port);
    const bool served = server.listen_after_bind();
    if (probeThread.joinable()) {
        probeSite.stop();
        probeThread.join();
    }
    return served ? 0 : 1;
}
