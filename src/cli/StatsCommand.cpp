#include "cli/StatsCommand.h"

#include "stats/StatisticsData.h"
#include "stats/StatisticsManager.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

constexpr int labelWidth = 14;
constexpr int countWidth = 6;
constexpr int longestBar = 30;

const QString noneLine = QStringLiteral("  (none)\n");
const QString escapedCharacter = QStringLiteral("\\u{%1}");

// Stored text is data: a control or format character (a terminal escape, U+202E turning the line
// around) is shown as \u{XXXX} instead of acting on the terminal, and a backslash as two.
QString printable(const QString &text)
{
    QString shown;
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            shown += escapedCharacter.arg(QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
            break;
        default:
            shown += c == U'\\' ? QStringLiteral("\\\\") : QString::fromUcs4(&c, 1);
        }
    }
    return shown;
}

/// Counts of the per-day map, newest day first.
QList<std::pair<QString, int>> newestDaysFirst(const QMap<QString, int> &distribution)
{
    QList<std::pair<QString, int>> days;
    for (auto it = distribution.constKeyValueBegin(); it != distribution.constKeyValueEnd(); ++it)
        days.prepend(*it);
    return days;
}

QJsonObject toJson(const StatisticsData &data)
{
    QJsonArray perDay;
    for (const auto &[date, count] : newestDaysFirst(data.dateDistribution))
        perDay.append(QJsonObject{{QStringLiteral("date"), date}, {QStringLiteral("count"), count}});
    QJsonArray recent;
    for (const HistoryRecord &record : data.recentRecords) {
        recent.append(QJsonObject{{QStringLiteral("id"), record.id},
                                  {QStringLiteral("date"), record.date},
                                  {QStringLiteral("time"), record.time}});
    }
    return {{QStringLiteral("totalCount"), data.totalCount},
            {QStringLiteral("todayCount"), data.todayCount},
            {QStringLiteral("weekCount"), data.weekCount},
            {QStringLiteral("monthCount"), data.monthCount},
            {QStringLiteral("dateDistribution"), perDay},
            {QStringLiteral("recentRecords"), recent}};
}

void printCount(QTextStream &out, const QString &label, int count)
{
    out << "  " << label.leftJustified(labelWidth) << QString::number(count).rightJustified(countWidth) << "\n";
}

void printText(QTextStream &out, const StatisticsData &data)
{
    out << "Sign-ins\n";
    printCount(out, QStringLiteral("Total"), data.totalCount);
    printCount(out, QStringLiteral("Today"), data.todayCount);
    printCount(out, QStringLiteral("Last 7 days"), data.weekCount);
    printCount(out, QStringLiteral("Last month"), data.monthCount);

    out << "\nPer day, last " << StatisticsData::distributionDays << " days (newest first)\n";
    const auto days = newestDaysFirst(data.dateDistribution);
    int busiest = 0;
    for (const auto &day : days)
        busiest = std::max(busiest, day.second);
    for (const auto &[date, count] : days) {
        const int bar = std::max(1, count * longestBar / busiest);
        out << "  " << date.leftJustified(labelWidth) << QString::number(count).rightJustified(countWidth) << "  "
            << QString(bar, QChar(0x2588)) << "\n";
    }
    if (days.isEmpty())
        out << noneLine;

    out << "\nRecent sign-ins (newest first)\n";
    const QString unknown = QStringLiteral("-");
    for (const HistoryRecord &record : data.recentRecords) {
        out << "  " << (record.date.isEmpty() ? unknown : printable(record.date)).leftJustified(labelWidth)
            << (record.time.isEmpty() ? unknown : printable(record.time)) << "\n";
    }
    if (data.recentRecords.isEmpty())
        out << noneLine;
}

} // namespace

QString StatsCommand::name() const
{
    return QStringLiteral("stats");
}

QString StatsCommand::summary() const
{
    return QStringLiteral("Show how often this computer signed in");
}

namespace {
const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print one JSON object for scripts."));
} // namespace

Command::Syntax StatsCommand::syntax() const
{
    return {QStringLiteral("Shows the recorded sign-ins: the total, today, the last 7 days, the last month, the "
                           "count per day over the last %1 days and the %2 most recent sign-ins.")
                .arg(StatisticsData::distributionDays)
                .arg(StatisticsData::recentLimit),
            {},
            {json}};
}

int StatsCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(arguments.value(0), QStringLiteral("unexpected argument '%1'")
                                                  .arg(parser.positionalArguments().constFirst()));
    }

    // The history answers from its own thread, once another process's move into it has ended.
    const bool asJson = parser.isSet(json);
    m_context.statistics().loadStatistics(nullptr, [asJson](const StatisticsData &data) {
        QTextStream out(stdout);
        if (asJson)
            out << QJsonDocument(toJson(data)).toJson(QJsonDocument::Compact) << "\n";
        else
            printText(out, data);
        QCoreApplication::exit(Success);
    });
    return QCoreApplication::exec();
}
