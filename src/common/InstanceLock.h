#pragma once

#include <QLockFile>
#include <QString>

#include <chrono>

/// A per-user lock that lets only one process at a time run a given service (the auto-login engine).
/// The lock file lives in the user's runtime directory; a lock left behind by a process that no longer
/// runs is taken over. The lock is released when the object goes away or the process ends.
class InstanceLock
{
public:
    /// How long a starting engine keeps trying before it concludes that another one runs.
    static constexpr std::chrono::milliseconds startPatience{2000};

    /// `name` names the lock file; `directory` defaults to runtimeDirectory().
    explicit InstanceLock(const QString &name, const QString &directory = runtimeDirectory());
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    /// True when this process now holds the lock (also when it already did). Waits at most
    /// `patience` for a holder to let go (a process that only looked at the lock, one that is ending);
    /// the default never waits.
    bool tryLock(std::chrono::milliseconds patience = std::chrono::milliseconds(0));
    /// The PID of the live process holding the lock, or 0 when none does; reads the lock file without
    /// taking the lock, so that asking never keeps a starting engine from it.
    qint64 holderPid() const;
    /// After a failed tryLock(): the PID of the process holding the lock, or 0 when the lock could
    /// not be taken for another reason (then see errorString()).
    qint64 ownerPid() const { return m_ownerPid; }
    /// After a failed tryLock() that ownerPid() cannot explain: why, in words for the log.
    QString errorString() const { return m_errorString; }
    QString filePath() const { return m_filePath; }

    /// $XDG_RUNTIME_DIR, or a private folder of the user's in the temp folder when it is unset.
    static QString runtimeDirectory();

private:
    QString m_filePath;
    QLockFile m_lock;
    qint64 m_ownerPid = 0;
    QString m_errorString;
};
