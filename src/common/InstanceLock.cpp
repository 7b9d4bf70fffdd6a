#include "common/InstanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>

namespace {
const QString NoRuntimeDirectoryError = QStringLiteral("没有可用的运行时目录");
const QString LockFileError = QStringLiteral("无法创建锁文件: ");
} // namespace

InstanceLock::InstanceLock(const QString &name, const QString &directory)
    : m_filePath(directory.isEmpty() ? QString() : QDir(directory).filePath(name)), m_lock(m_filePath)
{
    // Only a dead owner makes a lock stale: a live engine may run for months without touching it.
    m_lock.setStaleLockTime(0);
}

bool InstanceLock::tryLock(std::chrono::milliseconds patience)
{
    m_ownerPid = 0;
    m_errorString.clear();
    if (m_filePath.isEmpty()) {
        m_errorString = NoRuntimeDirectoryError;
        return false;
    }
    if (m_lock.isLocked() || m_lock.tryLock(patience))
        return true;
    if (m_lock.error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        QString hostName;
        QString appName;
        if (m_lock.getLockInfo(&pid, &hostName, &appName) && pid > 0) {
            m_ownerPid = pid;
            return false;
        }
    }
    m_errorString = LockFileError + m_filePath;
    return false;
}

qint64 InstanceLock::holderPid() const
{
    qint64 pid = 0;
    QString hostName;
    QString appName;
    if (m_filePath.isEmpty() || !m_lock.getLockInfo(&pid, &hostName, &appName) || pid <= 0)
        return 0;
    if (pid == QCoreApplication::applicationPid())
        return m_lock.isLocked() ? pid : 0;
    // A holder that died without removing the file holds nothing.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM ? pid : 0;
}

QString InstanceLock::runtimeDirectory()
{
    // Qt reads $XDG_RUNTIME_DIR itself and, where it is unset, makes a private folder in the temp folder.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}
