// Times the statistics pane's figures (one read of the history file) and one saved sign-in over
// histories of 2,000, 20,000 and 200,000 records, and prints the medians. A save either appends to a
// file as the program last wrote it, or first reads and prunes one that was written by anyone else.
#include "BenchHistory.h"

#include "common/Clock.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using BenchHistory::history;
using BenchHistory::medianMs;

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
