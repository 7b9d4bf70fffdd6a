#include "stats/StatisticsUpload.h"

#include "common/Log.h"
#include "net/HttpExchange.h"

#include <chrono>

using namespace std::chrono_literals;

namespace {
const QString uploadFailedLine = QStringLiteral("⚠️ 发送统计失败: ");
const QString uploadSentLine = QStringLiteral("✅ 联网统计已发送");
const QString serverErrorLine = QStringLiteral("⚠️ 统计服务器返回错误: ");
const QString uploadTimedOut = QStringLiteral("The request timed out.");

// An upload gives up after 5 seconds without progress, and after 10 seconds in all.
constexpr auto uploadIdleTimeout = 5s;
constexpr auto uploadTotalTimeout = 10s;
} // namespace

StatisticsUpload::StatisticsUpload(const QUrl &url, const QByteArray &json, QObject *parent)
    : QObject(parent), m_exchange(new HttpExchange(this))
{
    connect(m_exchange, &HttpExchange::finished, this, &StatisticsUpload::onFinished);
    m_totalTimer.setSingleShot(true);
    connect(&m_totalTimer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_exchange->abort();
    });
    m_totalTimer.start(uploadTotalTimeout);
    m_exchange->start("POST", url, {{"Content-Type", "application/json"}}, json, answerLimit,
                      int(std::chrono::milliseconds(uploadIdleTimeout).count()));
}

void StatisticsUpload::onFinished()
{
    m_totalTimer.stop();
    const HttpExchange::Response &response = m_exchange->response();
    // A body over the limit is no failure: its status has arrived, and the rest is of no interest.
    if (response.error != QNetworkReply::NoError) {
        const bool timedOut = m_timedOut || response.error == QNetworkReply::TimeoutError;
        Log::write(uploadFailedLine + (timedOut ? uploadTimedOut : response.errorString));
    } else if (response.statusCode) {
        const int status = *response.statusCode;
        Log::write(status == 200 ? uploadSentLine : serverErrorLine + QString::number(status));
    }
    Q_EMIT finished();
}
