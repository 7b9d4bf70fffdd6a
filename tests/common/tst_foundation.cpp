#include "LogCapture.h"
#include "common/BuildConfig.h"
#include "common/InstanceLock.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"

#include <QHostAddress>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {
bool isLoopbackHost(const QString &host)
{
    const QHostAddress address(host);
    return !address.isNull() && address.protocol() == QHostAddress::IPv4Protocol &&
           (address.toIPv4Address() >> 24) == 127;
}
} // namespace

class TestFoundation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A test build must never reach a real portal, statistics server or probe site.
    void outsideAddressesStayOnLoopback()
    {
        for (const QUrl &url :
             {QUrl(QStringLiteral("http://") + QString::fromUtf8(BuildConfig::portalAddress)),
              QUrl(QString::fromUtf8(BuildConfig::statsApiBase)),
              QUrl(QString::fromUtf8(BuildConfig::probeURL))})
            QVERIFY2(isLoopbackHost(url.host()), qPrintable(url.toString()));
    }

    void observersMayRemoveThemselvesAndOthersDuringAPost()
    {
        using namespace Notifications;
        NotificationCenter center;
        QStringList calls;
        NotificationCenter::Token second = 0;
        NotificationCenter::Token first = center.addObserver(LoginSuccess, [&](const QVariantMap &info) {
            calls << u"first:"_s + info.value(UsernameKey).toString();
            center.removeObserver(first);
            center.removeObserver(second);
        });
        second = center.addObserver(LoginSuccess, [&](const QVariantMap &) { calls << u"second"_s; });
        center.addObserver(LoginFailed, [&](const QVariantMap &) { calls << u"failed"_s; });
        center.post(LoginSuccess, {{UsernameKey, u"张三"_s}});
        center.post(LoginSuccess);
        center.post(LoginFailed);
        QCOMPARE(calls, (QStringList{u"first:张三"_s, u"failed"_s}));
    }

    void logLinesArriveWholeFromAnyThread()
    {
        LogCapture capture;
        {
            std::jthread threads[4];
            for (int t = 0; t < 4; ++t)
                threads[t] = std::jthread([t] {
                    for (int i = 0; i < 50; ++i)
                        Log::write(u"🔍 线程 %1 行 %2"_s.arg(t).arg(i));
                });
        } // joins them
        QCOMPARE(capture.lines().size(), 200);
        QVERIFY(capture.contains(u"🔍 线程 3 行 49"_s));
    }

    // The lock is refused while its owner lives, naming it, and taken over once the owner is killed.
    void onlyOneEngineHoldsTheLock()
    {
        QTemporaryDir directory;
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {u"--hold-lock"_s, directory.path()});
        QVERIFY(holder.waitForReadyRead() && holder.readLine() == "locked\n");
        InstanceLock lock(u"engine.lock"_s, directory.path());
        QVERIFY(!lock.tryLock());
        QCOMPARE(lock.ownerPid(), holder.processId());
        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(QFile::exists(lock.filePath())); // left behind
        QVERIFY(lock.tryLock());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // A child copy of this program, started by onlyOneEngineHoldsTheLock(), holds the lock until killed.
    if (app.arguments().value(1) == u"--hold-lock") {
        InstanceLock lock(u"engine.lock"_s, app.arguments().value(2));
        std::puts(lock.tryLock() ? "locked" : "refused");
        std::fflush(stdout);
        return std::getchar();
    }
    TestFoundation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_foundation.moc"
