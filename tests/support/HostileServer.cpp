#include "HostileServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int pollMs = 50;
constexpr qsizetype maxRequest = 1 << 20;

// Waits until `socket` is ready for `events`; false when time is up first.
template<typename TimeIsUp>
bool waitFor(int socket, short events, TimeIsUp timeIsUp)
{
    pollfd ready{socket, events, 0};
    while (!timeIsUp()) {
        if (poll(&ready, 1, pollMs) > 0)
            return true;
    }
    return false;
}
} // namespace

bool HostileServer::Connection::write(const QByteArray &bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (!waitFor(m_socket, POLLOUT, [this] { return m_server.timeIsUp(); }))
            return false;
        const ssize_t n = ::send(m_socket, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            m_server.m_hungUp = true;
            return false;
        }
        sent += n;
        m_server.m_written += n;
    }
    return true;
}

HostileServer::HostileServer(Answer answer, const char *address, int maxConnections, std::chrono::seconds lifetime)
    : m_answer(std::move(answer)), m_host(QString::fromLatin1(address)), m_maxConnections(maxConnections),
      m_deadline(std::chrono::steady_clock::now() + lifetime)
{
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    inet_pton(AF_INET, address, &socketAddress.sin_addr);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    socklen_t length = sizeof socketAddress;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&socketAddress), length) != 0 || ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&socketAddress), &length) != 0) {
        ::close(listener);
        return;
    }
    m_listener = listener;
    m_port = ntohs(socketAddress.sin_port);
    m_thread = std::thread([this] { serve(); });
}

HostileServer::~HostileServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

QString HostileServer::address() const
{
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

QList<QByteArray> HostileServer::requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

void HostileServer::serve()
{
    for (int served = 0; served < m_maxConnections; ++served) {
        if (!waitFor(m_listener, POLLIN, [this] { return timeIsUp(); }))
            return;
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        const QByteArray request = readRequest(socket);
        {
            const std::lock_guard lock(m_mutex);
            m_requests.append(request);
        }
        Connection connection(*this, socket);
        m_answer(request, connection);
        ::close(socket);
    }
}

QByteArray HostileServer::readRequest(int socket)
{
    QByteArray request;
    char buffer[65536];
    while (request.size() < maxRequest && waitFor(socket, POLLIN, [this] { return timeIsUp(); })) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, n);
        const qsizetype headEnd = request.indexOf("\r\n\r\n");
        if (headEnd < 0)
            continue;
        qsizetype bodyLength = 0;
        for (const QByteArray &line : request.first(headEnd).split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                bodyLength = line.mid(15).trimmed().toLongLong();
        }
        if (request.size() >= headEnd + 4 + bodyLength)
            break;
    }
    return request;
}
