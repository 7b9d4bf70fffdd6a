#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <thread>

namespace httplib {
class Server;
}

/// A real HTTP server on 127.0.0.1 and a free port, served from a thread of its own. Register the
/// handlers on server() before start(); the server stops when the object goes away.
class LocalHttpServer
{
public:
    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    httplib::Server &server();
    /// Binds `port` on loopback (0: a free one) and starts serving; returns false if it could not be bound.
    bool start(int port = 0);
    int port() const { return m_port; }
    /// "127.0.0.1:<port>"
    QString address() const;
    /// "http://127.0.0.1:<port>" + path
    QString url(const QString &path = {}) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = -1;
};
