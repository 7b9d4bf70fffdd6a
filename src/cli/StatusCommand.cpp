#include "cli/StatusCommand.h"

#include "autologin/NetworkStatusQuery.h"
#include "common/Log.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

constexpr int labelWidth = 16;

// The status as the engine would look it up, waited for in the command's own event loop.
NetworkStatus readStatus(NetworkProbe &probe)
{
    NetworkStatusQuery query(probe);
    NetworkStatus status;
    QObject::connect(&query, &NetworkStatusQuery::refreshed, &query, [&status](const NetworkStatus &answer) {
        status = answer;
        QCoreApplication::exit(Command::Success);
    });
    query.refresh();
    QCoreApplication::exec();
    return status;
}

QJsonObject toJson(const NetworkStatus &status)
{
    return {{QStringLiteral("ssid"), status.ssid ? QJsonValue(*status.ssid) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("campusNetwork"), status.campusNetwork},
            {QStringLiteral("internetReachable"), status.internetReachable}};
}

void printLine(QTextStream &out, const QString &label, const QString &value)
{
    out << label.leftJustified(labelWidth) << value << "\n";
}

void printText(QTextStream &out, const NetworkStatus &status)
{
    printLine(out, QStringLiteral("Wi-Fi network:"), status.ssid.value_or(QStringLiteral("(cannot be read)")));
    printLine(out, QStringLiteral("Campus network:"), status.campusNetwork ? QStringLiteral("yes") : QStringLiteral("no"));
    printLine(out, QStringLiteral("Internet:"),
              status.internetReachable ? QStringLiteral("reachable") : QStringLiteral("not reachable"));
}

} // namespace

QString StatusCommand::name() const
{
    return QStringLiteral("status");
}

QString StatusCommand::summary() const
{
    return QStringLiteral("Show the Wi-Fi network, whether it is a campus network, and internet reachability");
}

namespace {
const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print the status as a JSON object"));
const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Copy the diagnostic log to stderr"));
} // namespace

Command::Syntax StatusCommand::syntax() const
{
    return {summary() + u'.', {}, {json, verbose}};
}

int StatusCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    int exitCode = Success;
    if (!parseArguments(parser, arguments, exitCode))
        return exitCode;
    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << arguments.value(0) << ": unexpected argument '" << parser.positionalArguments().first()
                            << "'\n";
        return UsageError;
    }

    Log::setStderrCopy(parser.isSet(verbose));
    const NetworkStatus status = readStatus(m_context.networkProbe());
    QTextStream out(stdout);
    if (parser.isSet(json))
        out << QJsonDocument(toJson(status)).toJson(QJsonDocument::Indented);
    else
        printText(out, status);
    return Success;
}
