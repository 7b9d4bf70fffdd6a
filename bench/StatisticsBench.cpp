// Times the statistics pane's figures (one read of the history file) and one saved sign-in over
// histories of 2,000, 20,000 and 200,000 records, and prints the medians. A save either appends to a
// file as the program last wrote it, or first reads and prunes one that was written by anyone else.
#include "common/Clock.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {

/// `count` sign-ins spread evenly over the last 364 days, oldest first, as the store keeps them.
QByteArray history(int count, qint64 now)
{
    constexpr qint64 span = 364LL * 86'400;
    QJsonArray records;
    for (int i = 0; i < count; ++i) {
        const qint64 timestamp = now - span + span * i / count;
        records.append(QJsonObject{{"username", "student2024"},
                                   {"timestamp", timestamp},
                                   {"date", StatisticsManager::formatTimestamp(timestamp, "yyyy-MM-dd")},
                                   {"time", StatisticsManager::formatTimestamp(timestamp, "HH:mm:ss")}});
    }
    return QJsonDocument(records).toJson(QJsonDocument::Compact);
}

/// Median milliseconds of `runs` calls of `work`, each after an untimed `prepare`.
double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << "records   bytes        loadStatistics   append (as last written)   save (file written by others) "
           "  (median ms, "
           "written to disk)\n";
    for (const int count : {2'000, 20'000, 200'000}) {
        Preferences store(std::make_unique<QSettings>(
            dir.filePath(QStringLiteral("netlatch-%1.conf").arg(count)), QSettings::IniFormat));
        const QString folder = dir.filePath(QString::number(count));
        const Clock &clock = Clock::system();
        StatisticsManager manager(store, clock, QString(), folder);
        const QByteArray stored = history(count, clock.now().toSecsSinceEpoch());
        const auto restore = [&] {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            QFile file(manager.historyFilePath());
            if (!file.open(QIODevice::WriteOnly) || file.write(stored) != stored.size())
                qFatal("cannot write %s", qPrintable(file.fileName()));
        };
        const int runs = count >= 200'000 ? 7 : 21;
        const auto save = [&] { manager.saveLoginRecord("student2024", clock.now().toSecsSinceEpoch()); };

        restore();
        int sink = 0;
        const double load = medianMs(
            runs, [] {}, [&] { sink += StatisticsData::load(manager).totalCount; });
        const double append = medianMs(
            runs,
            [&] {
                restore();
                save();
            },
            save);
        const double rewrite = medianMs(runs, restore, save);
        out << QString::number(count).leftJustified(10) << QString::number(stored.size()).leftJustified(13)
            << QString::number(load, 'f', 2).leftJustified(17)
            << QString::number(append, 'f', 2).leftJustified(27) << QString::number(rewrite, 'f', 2)
            << (sink > 0 ? "" : " (no records read)") << "\n";
        out.flush();
    }
    return 0;
}
