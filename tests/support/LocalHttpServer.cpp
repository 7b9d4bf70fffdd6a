#include "LocalHttpServer.h"

#include <httplib.h>

#include <chrono>

LocalHttpServer::LocalHttpServer()
    : m_server(std::make_unique<httplib::Server>())
{
}

LocalHttpServer::~LocalHttpServer()
{
    // stop() only takes effect once the loop runs: give a just-started thread a moment to get there.
    for (int i = 0; m_thread.joinable() && !m_server->is_running() && i < 200; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

httplib::Server &LocalHttpServer::server()
{
    return *m_server;
}

bool LocalHttpServer::start(int port)
{
    if (port == 0)
        m_port = m_server->bind_to_any_port("127.0.0.1");
    else
        m_port = m_server->bind_to_port("127.0.0.1", port) ? port : -1;
    if (m_port < 0)
        return false;
    // The socket already listens after the bind, so clients may connect before the thread runs.
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return true;
}

QString LocalHttpServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString LocalHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://") + address() + path;
}
