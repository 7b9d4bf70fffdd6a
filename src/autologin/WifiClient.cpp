#include "autologin/WifiClient.h"

#include "common/StrictUtf8.h"

QString WifiClient::ssidText(const QByteArray &ssid)
{
    return StrictUtf8::decode(ssid).value_or(QString::fromLatin1(ssid));
}
