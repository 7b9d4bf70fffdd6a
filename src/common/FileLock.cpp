#include "common/FileLock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QString lockFailedError = QStringLiteral("无法锁定 %1: %2");
const QString lockTimedOutError = QStringLiteral("等待 %1 的锁超时");
// Holders keep the lock for one read and one write; a short poll keeps waiters responsive.
constexpr std::chrono::milliseconds pollInterval{2};
} // namespace

FileLock::FileLock(const QString &filePath, std::chrono::milliseconds patience)
{
    QDir().mkpath(QFileInfo(filePath).path()); // when this fails, so does the open below, and says why
    const int fd = ::open(QFile::encodeName(filePath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_errorString = lockFailedError.arg(filePath, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // Polled rather than blocking, so that a holder that hangs (stopped, or on a dead network
    // share) costs the waiter a bounded delay instead of its thread.
    const QDeadlineTimer deadline(patience);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const bool busy = error == EWOULDBLOCK || error == EINTR;
        if (!busy || deadline.hasExpired()) {
            m_errorString = busy
                                ? lockTimedOutError.arg(filePath)
                                : lockFailedError.arg(filePath, QString::fromLocal8Bit(std::strerror(error)));
            ::close(fd);
            return;
        }
        QThread::msleep(pollInterval.count());
    }
    m_fd = fd;
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor releases the lock
}
