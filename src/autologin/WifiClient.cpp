#include "autologin/WifiClient.h"

#include <QStringDecoder>

QString WifiClient::ssidText(const QByteArray &ssid)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(ssid);
    return utf8.hasError() ? QString::fromLatin1(ssid) : text;
}
