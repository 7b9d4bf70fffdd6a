#include "auth/ResponseLimits.h"

#include "common/Log.h"
#include "common/StrictUtf8.h"

namespace ResponseLimits {

const QString oversizedMessage = QStringLiteral("响应数据过大，可能是VPN重定向导致的。请关闭VPN后重试。");
const QString undecodableMessage = QStringLiteral("服务器响应格式错误");

namespace {
const QString oversizedLog = QStringLiteral("⚠️ 响应数据过大: %1 字节，超过限制 %2 字节");
const QString undecodableLog =
    QStringLiteral("⚠️ 响应内容无法解析为UTF-8，数据长度: %1 字节");
const QString truncatedTextLog = QStringLiteral("📥 登录响应内容（前%1字节）: ");
const QString truncatedSizeLog = QStringLiteral("⚠️ 完整响应大小: %1 字节，已截断");
const QString textLog = QStringLiteral("📥 登录响应内容: ");
const QString ellipsis = QStringLiteral("...");
} // namespace

void logOversized(qint64 length)
{
    Log::write(oversizedLog.arg(length).arg(maxResponseSize));
}

std::optional<QString> decodeLeading(const QByteArray &bytes, qint64 limit)
{
    return StrictUtf8::decode(QByteArrayView(bytes).first(qMin<qint64>(bytes.size(), limit)),
                              StrictUtf8::InitialBom::Skip);
}

std::optional<QString> loginResponseText(const QByteArray &body)
{
    const std::optional<QString> text = decodeLeading(body, loginTextCap);
    if (!text) {
        Log::write(undecodableLog.arg(body.size()));
        return std::nullopt;
    }
    if (body.size() > loginTextCap) {
        Log::write(truncatedTextLog.arg(loginTextCap) + *text + ellipsis);
        Log::write(truncatedSizeLog.arg(body.size()));
    } else {
        Log::write(textLog + *text);
    }
    return text;
}

} // namespace ResponseLimits
