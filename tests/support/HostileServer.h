#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

/// A TCP server on a loopback address that answers as a misbehaving server would: each connection's
/// request is read (head and declared body) and kept, then `answer` writes whatever it likes through
/// the connection given to it. It serves at most `maxConnections` connections and at most `lifetime`
/// in all, from a thread of its own, then stops by itself (or when the object goes away).
class HostileServer
{
public:
    /// One accepted connection, as `answer` sees it.
    class Connection
    {
    public:
        /// Writes all of `bytes`; false once the client has closed the connection or time is up.
        bool write(const QByteArray &bytes);

    private:
        friend class HostileServer;
        Connection(HostileServer &server, int socket) : m_server(server), m_socket(socket) {}
        HostileServer &m_server;
        int m_socket;
    };
    using Answer = std::function<void(const QByteArray &request, Connection &connection)>;

    HostileServer(Answer answer, const char *address = "127.0.0.1", int maxConnections = 8,
                  std::chrono::seconds lifetime = std::chrono::seconds(20));
    ~HostileServer();
    HostileServer(const HostileServer &) = delete;
    HostileServer &operator=(const HostileServer &) = delete;

    /// False when the address could not be bound.
    bool isListening() const { return m_listener >= 0; }
    int port() const { return m_port; }
    /// "<address>:<port>"
    QString address() const;
    /// The requests received so far, each head and body as sent.
    QList<QByteArray> requests() const;
    /// Bytes of answer the clients took, all connections together.
    qint64 written() const { return m_written; }
    /// Whether a client closed a connection while an answer was still being written.
    bool clientHungUp() const { return m_hungUp; }

private:
    void serve();
    QByteArray readRequest(int socket);
    bool timeIsUp() const { return m_stop || std::chrono::steady_clock::now() >= m_deadline; }

    Answer m_answer;
    QString m_host;
    int m_maxConnections;
    std::chrono::steady_clock::time_point m_deadline;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    std::atomic<qint64> m_written = 0;
    std::atomic<bool> m_hungUp = false;
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};
