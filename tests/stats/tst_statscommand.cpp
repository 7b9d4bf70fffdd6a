#include "StatsTestSupport.h"
#include "stats/StatisticsManager.h"

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace StatsTestSupport;

/// `netlatchctl stats` run as a program on a prepared store of the user it runs for.
class TestStatsCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString m_storeFile;
    QJsonArray m_records;

    QByteArray runStats(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home.path());
        environment.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        environment.insert("TZ", "UTC");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(NETLATCHCTL_PATH), QStringList{"stats"} + arguments);
        const bool finished = process.waitForFinished();
        const QByteArray errors = process.readAllStandardError();
        if (!finished || process.exitCode() != 0 || !errors.isEmpty())
            qWarning() << "netlatchctl stats failed:" << process.exitCode() << errors;
        return finished && process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
    }

    static QString day(qint64 timestamp) { return StatisticsManager::formatTimestamp(timestamp, "yyyy-MM-dd"); }

private Q_SLOTS:
    void initTestCase()
    {
        setTimeZone("UTC");
        m_storeFile = m_home.filePath("config/Netlatch/netlatch.conf");
        // The command reads the real clock: place the records relative to now.
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        for (const qint64 ago : {40 * 86'400LL, 20 * 86'400LL, 3 * 86'400LL, 0LL}) {
            const qint64 timestamp = now - ago;
            m_records.append(QJsonObject{{"username", "u"},
                                         {"timestamp", timestamp},
                                         {"date", day(timestamp)},
                                         {"time", StatisticsManager::formatTimestamp(timestamp, "HH:mm:ss")}});
        }
        m_records.append(QJsonObject{{"username", "u"}}); // written by hand: no timestamp, date or time
        const auto store = makeStore(m_storeFile);
        storeRecords(*store, m_records);
    }

    void jsonCarriesEveryFigure()
    {
        const QByteArray before = [this] {
            QFile file(m_storeFile);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        const QJsonObject figures = QJsonDocument::fromJson(runStats({"--json"})).object();

        QCOMPARE(figures["totalCount"].toInt(), 5);
        QCOMPARE(figures["todayCount"].toInt(), 1);
        QCOMPARE(figures["weekCount"].toInt(), 2);
        QCOMPARE(figures["monthCount"].toInt(), 3);
        const QJsonArray perDay = figures["dateDistribution"].toArray();
        QCOMPARE(perDay.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const qint64 timestamp = m_records.at(3 - i)["timestamp"].toInteger();
            QCOMPARE(perDay.at(i).toObject(), (QJsonObject{{"date", day(timestamp)}, {"count", 1}}));
        }
        const QJsonArray recent = figures["recentRecords"].toArray();
        QCOMPARE(recent.size(), 5);
        QCOMPARE(recent.at(0).toObject(), (QJsonObject{{"id", "0"}, {"date", ""}, {"time", ""}}));
        QCOMPARE(recent.at(1)["date"].toString(), m_records.at(3)["date"].toString());
        QCOMPARE(recent.at(4)["id"].toString(), QStringLiteral("4"));

        QFile file(m_storeFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before); // reading the figures never writes the store
    }

    void textIsAligned()
    {
        const QStringList lines = QString::fromUtf8(runStats({})).split('\n');
        QVERIFY(lines.contains("  Total              5"));
        QVERIFY(lines.contains("  Last 7 days        2"));
        const QString today = m_records.at(3)["date"].toString();
        QVERIFY(lines.contains(QStringLiteral("  %1         1  %2").arg(today, QString(30, QChar(0x2588)))));
        QVERIFY(lines.contains(QStringLiteral("  -             -")));
    }

    void unexpectedArgumentIsAUsageError()
    {
        QProcess process;
        process.start(QStringLiteral(NETLATCHCTL_PATH), {"stats", "today"});
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestStatsCommand)
#include "tst_statscommand.moc"
