// Times one reload of the statistics pane (what it does on every appearance and period change: read
// the history, compute every figure, rebuild the chart and the recent list, lay the pane out) over
// histories of 3,650 and 20,000 records, and prints the medians. Runs on the offscreen platform.
#include "BenchHistory.h"

#include "common/Clock.h"
#include "gui/settings/StatisticsView.h"
#include "gui/widgets/Theme.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using BenchHistory::history;
using BenchHistory::medianMs;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Theme::apply(app);
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << "records   figures only   pane reload (figures + widgets + layout)   (median ms of 21)\n";
    for (const int count : {3'650, 20'000}) {
        Preferences store(std::make_unique<QSettings>(
            dir.filePath(QStringLiteral("netlatch-%1.conf").arg(count)), QSettings::IniFormat));
        // The history in a data file of its own, as the program keeps it, never the user's.
        StatisticsManager manager(store, Clock::system(), QString(), dir.filePath(QString::number(count)));
        QDir().mkpath(dir.filePath(QString::number(count)));
        QFile file(manager.historyFilePath());
        const QByteArray stored = history(count, Clock::system().now().toSecsSinceEpoch());
        if (!file.open(QIODevice::WriteOnly) || file.write(stored) != stored.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        file.close();

        StatisticsView view(manager);
        view.resize(700, 500);
        view.setSelectedPeriod(StatisticsPeriod::all); // the chart is shown: the most work
        view.show();
        QCoreApplication::processEvents();

        int sink = 0;
        const double figures = medianMs(21, [&] { sink += StatisticsData::load(manager).totalCount; });
        const double reload = medianMs(21, [&] {
            view.loadStatistics();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        });
        out << QString::number(count).leftJustified(10) << QString::number(figures, 'f', 2).leftJustified(15)
            << QString::number(reload, 'f', 2) << (sink > 0 ? "" : " (no records read)") << "\n";
        out.flush();
    }
    return 0;
}
