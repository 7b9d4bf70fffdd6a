// Times one reload of the statistics pane (what it does on every appearance and period change: read
// the history, compute every figure, rebuild the chart and the recent list, lay the pane out) over
// histories of 3,650 and 20,000 records, and prints the medians. Runs on the offscreen platform.
#include "common/Clock.h"
#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"
#include "stats/StatisticsView.h"
#include "store/Preferences.h"
#include "widgets/Theme.h"

#include <QApplication>
#include <QElapsedTimer>
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

double medianMs(int runs, const std::function<void()> &work)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
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
        StatisticsManager manager(store, Clock::system(), QString());
        store.setData(PreferenceKeys::loginRecords, history(count, Clock::system().now().toSecsSinceEpoch()));

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
