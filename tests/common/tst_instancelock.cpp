#include "common/InstanceLock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {
const QString LockName = QStringLiteral("engine.lock");
// Set in a child copy of this program: it takes the lock in that directory and holds it until its
// standard input closes.
const char HolderVariable[] = "NETLATCH_TEST_HOLD_LOCK_IN";

int holdLock(const QString &directory)
{
    InstanceLock lock(LockName, directory);
    if (!lock.tryLock())
        return 1;
    std::puts("locked");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
} // namespace

class TestInstanceLock : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    /// Starts a copy of this program that holds the lock; returns once it does.
    bool startHolder(QProcess &holder)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(HolderVariable), m_dir.path());
        holder.setProcessEnvironment(environment);
        holder.start(QCoreApplication::applicationFilePath(), {});
        return holder.waitForStarted() && holder.waitForReadyRead() && holder.readLine().trimmed() == "locked";
    }

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }

    void onlyOneLockInAProcessHoldsIt()
    {
        InstanceLock first(LockName, m_dir.path());
        InstanceLock second(LockName, m_dir.path());
        QVERIFY(first.tryLock());
        QVERIFY(first.tryLock());
        QVERIFY(!second.tryLock());
        QCOMPARE(second.ownerPid(), QCoreApplication::applicationPid());
        QVERIFY(second.errorString().isEmpty());
    }

    void aLiveOwnerKeepsItAndALeftoverOfADeadOneIsTakenOver()
    {
        QProcess holder;
        QVERIFY(startHolder(holder));
        InstanceLock lock(LockName, m_dir.path());
        QVERIFY(!lock.tryLock());
        QCOMPARE(lock.ownerPid(), holder.processId());

        // A killed owner leaves its lock file behind.
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(lock.filePath()));
        QVERIFY(lock.tryLock());
        QCOMPARE(lock.ownerPid(), 0);
    }

    void releasedWhenTheOwnerGoesAway()
    {
        {
            InstanceLock first(LockName, m_dir.path());
            QVERIFY(first.tryLock());
        }
        InstanceLock second(LockName, m_dir.path());
        QVERIFY(second.tryLock());
    }

    void anUnusableDirectoryIsAnErrorNotAnOwner()
    {
        InstanceLock lock(LockName, m_dir.filePath(QStringLiteral("missing/dir")));
        QVERIFY(!lock.tryLock());
        QCOMPARE(lock.ownerPid(), 0);
        QVERIFY(!lock.errorString().isEmpty());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(HolderVariable))
        return holdLock(qEnvironmentVariable(HolderVariable));
    TestInstanceLock test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instancelock.moc"
