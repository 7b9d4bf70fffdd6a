// Times the statistics pane's figures (the queries behind every figure) and one saved sign-in (insert
// and prune in one transaction, synced to disk) over histories of 0, 2,000, 36,500 and 200,000
// records, and prints the medians.
#include "BenchHistory.h"

#include "common/Clock.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

using BenchHistory::medianMs;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << "records   figures   save   (median ms of 21, written to disk)\n";
    for (const int count : {0, 2'000, 36'500, 200'000}) {
        Preferences store(std::make_unique<QSettings>(
            dir.filePath(QStringLiteral("netlatch-%1.conf").arg(count)), QSettings::IniFormat));
        const QString folder = dir.filePath(QString::number(count));
        const Clock &clock = Clock::system();
        BenchHistory::seed(folder, count, clock.now().toSecsSinceEpoch());
        StatisticsManager manager(store, clock, QString(), folder);
        int sink = 0;
        const double load = medianMs(21, [&] { sink += BenchHistory::loadStatistics(manager); });
        const double save = medianMs(21, [&] { BenchHistory::saveLoginRecord(manager, clock); });
        out << QString::number(count).leftJustified(10) << QString::number(load, 'f', 2).leftJustified(10)
            << QString::number(save, 'f', 2) << (sink > 0 || count == 0 ? "" : " (no records read)") << "\n";
        out.flush();
    }
    return 0;
}
