#pragma once

#include <QNetworkCookieJar>

/// The cookie jar of the portal's sign-ins. Keeps only cookies that RFC 6265 allows a server to set:
/// the name a token, the value cookie-octets (optionally in double quotes). A cookie holding a control
/// character, a blank, a comma or anything else outside them is dropped, never sent back in a
/// Cookie header, where it could end the field early or mean something else to the portal.
class PortalCookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    using QNetworkCookieJar::QNetworkCookieJar;

protected:
    bool validateCookie(const QNetworkCookie &cookie, const QUrl &url) const override;
};
