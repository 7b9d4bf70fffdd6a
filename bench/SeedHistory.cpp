// Writes a history of COUNT sign-ins spread evenly over the last 364 days, oldest first, for the
// benchmarks. By default it goes where earlier versions kept it, one value in the settings file, so
// that a benchmark can time the move to the data file as well as the ordinary runs after it.
// Usage: bench_seed_history COUNT SETTINGS_FILE
//        bench_seed_history COUNT --data-file FILE   (the JSON array alone)
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int count = arguments.value(1).toInt();
    if (count < 0 || arguments.size() < 3) {
        QTextStream(stderr) << "usage: bench_seed_history COUNT SETTINGS_FILE | COUNT --data-file FILE\n";
        return 2;
    }
    constexpr qint64 span = 364LL * 86'400;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    QJsonArray records;
    for (int i = 0; i < count; ++i) {
        const qint64 timestamp = now - span + span * i / count;
        const QDateTime local = QDateTime::fromSecsSinceEpoch(timestamp, Qt::LocalTime);
        records.append(QJsonObject{{"username", "student2024"},
                                   {"timestamp", timestamp},
                                   {"date", local.toString("yyyy-MM-dd")},
                                   {"time", local.toString("HH:mm:ss")}});
    }
    const QByteArray json = QJsonDocument(records).toJson(QJsonDocument::Compact);
    if (arguments.at(2) == QLatin1String("--data-file")) {
        QFile file(arguments.value(3));
        return file.open(QIODevice::WriteOnly) && file.write(json) == json.size() ? 0 : 1;
    }
    QSettings settings(arguments.at(2), QSettings::IniFormat);
    settings.setValue(QStringLiteral("com.netlatch.loginRecords"), json);
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : 1;
}
