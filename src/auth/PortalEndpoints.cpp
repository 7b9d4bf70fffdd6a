#include "auth/PortalEndpoints.h"

#include <QUrl>

namespace {
const QString loginPath = QStringLiteral("/ac_portal/login.php");
const QString pagePath = QStringLiteral("/ac_portal/default/pc.html?tabs=pwd");
} // namespace

PortalEndpoints PortalEndpoints::fromAddress(const QString &portalAddress)
{
    PortalEndpoints endpoints;
    endpoints.baseURL = QStringLiteral("http://") + portalAddress;
    endpoints.loginURL = endpoints.baseURL + loginPath;
    endpoints.portalURL = endpoints.baseURL + pagePath;
    endpoints.host = QUrl(endpoints.baseURL).host();
    return endpoints;
}
