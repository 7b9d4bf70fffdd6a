#include "common/UnixSignalWatcher.h"

#include <QList>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// [0] is written by the handler, [1] read by the event loop.
int socketPair[2] = {-1, -1};
} // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent), m_signalNumbers(signalNumbers)
{
    Q_ASSERT_X(socketPair[0] < 0, "UnixSignalWatcher", "one watcher per process");
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, socketPair) != 0)
        return;
    m_notifier = new QSocketNotifier(socketPair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);
    struct sigaction action = {};
    action.sa_handler = &UnixSignalWatcher::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : m_signalNumbers)
        ::sigaction(signalNumber, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher()
{
    for (const int signalNumber : m_signalNumbers)
        std::signal(signalNumber, SIG_DFL);
    for (int &fd : socketPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void UnixSignalWatcher::handle(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(socketPair[0], &number, sizeof number);
}

void UnixSignalWatcher::readSignal()
{
    unsigned char number = 0;
    if (::read(socketPair[1], &number, sizeof number) == sizeof number)
        Q_EMIT received(number);
}
