// Times one reload of the statistics pane (what it does on every appearance and period change: query
// every figure on the history's thread, rebuild the chart and the recent list, lay the pane out) over
// histories of 3,650 and 20,000 records, unchanged and after a new sign-in, and prints the medians.
// Runs on the offscreen platform.
#include "BenchHistory.h"

#include "common/Clock.h"
#include "gui/settings/StatisticsView.h"
#include "gui/widgets/Theme.h"
#include "stats/StatisticsManager.h"
#include "store/Preferences.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>

using BenchHistory::medianMs;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Theme::apply(app);
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << "records   figures only   pane reload: unchanged   after a sign-in   (median ms of 21; reload = "
           "figures + widgets + layout)\n";
    for (const int count : {3'650, 20'000}) {
        Preferences store(std::make_unique<QSettings>(
            dir.filePath(QStringLiteral("netlatch-%1.conf").arg(count)), QSettings::IniFormat));
        // A history of its own, never the user's.
        const QString folder = dir.filePath(QString::number(count));
        BenchHistory::seed(folder, count, Clock::system().now().toSecsSinceEpoch());
        StatisticsManager manager(store, Clock::system(), QString(), folder);

        StatisticsView view(manager);
        view.resize(700, 500);
        view.setSelectedPeriod(StatisticsPeriod::all); // the chart is shown: the most work
        view.show();
        QCoreApplication::processEvents();

        int sink = 0;
        const double figures = medianMs(21, [&] { sink += BenchHistory::loadStatistics(manager); });
        bool shown = false;
        QObject::connect(&view, &StatisticsView::statisticsShown, [&shown] { shown = true; });
        const auto reload = [&] {
            shown = false;
            view.loadStatistics();
            BenchHistory::waitFor(shown);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        };
        const double unchanged = medianMs(21, reload);
        const double changed = medianMs(
            21, [&] { BenchHistory::saveLoginRecord(manager, Clock::system()); }, reload);
        out << QString::number(count).leftJustified(10) << QString::number(figures, 'f', 2).leftJustified(15)
            << QString::number(unchanged, 'f', 2).leftJustified(21) << QString::number(changed, 'f', 2)
            << (sink > 0 ? "" : " (no records read)") << "\n";
        out.flush();
    }
    return 0;
}
