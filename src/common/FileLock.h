#pragma once

#include <QString>

#include <chrono>

/// An exclusive lock on a file shared by every process of the user, for read-modify-write of a file
/// that several processes change (the sign-in history). The kernel releases it when the holder
/// ends, however it ends, so a killed process never leaves it taken. Released when the object goes.
class FileLock
{
public:
    /// Waits for the lock on `filePath` (created, with its folder, when absent) for at most `patience`.
    explicit FileLock(const QString &filePath, std::chrono::milliseconds patience);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool isLocked() const { return m_fd >= 0; }
    /// Why the lock was not taken, in words for the log.
    QString errorString() const { return m_errorString; }

private:
    int m_fd = -1;
    QString m_errorString;
};
