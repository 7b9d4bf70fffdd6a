#include "auth/PortalCookieJar.h"

#include "net/HttpSyntax.h"

#include <QNetworkCookie>

#include <algorithm>

namespace {

// RFC 6265's cookie-octet: visible US-ASCII except DQUOTE, comma, semicolon and backslash.
bool isCookieOctet(char c)
{
    return c > 0x20 && c < 0x7f && c != '"' && c != ',' && c != ';' && c != '\\';
}

} // namespace

bool PortalCookieJar::validateCookie(const QNetworkCookie &cookie, const QUrl &url) const
{
    const QByteArray raw = cookie.value();
    QByteArrayView value = raw;
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.sliced(1, value.size() - 2);
    return HttpSyntax::isToken(cookie.name()) && std::all_of(value.begin(), value.end(), isCookieOctet) &&
           QNetworkCookieJar::validateCookie(cookie, url);
}
