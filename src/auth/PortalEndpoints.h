#pragma once

#include <QString>

/// The portal's addresses, all derived from the one configured `host[:port]`.
struct PortalEndpoints
{
    /// "http://" + the portal address, no trailing slash: the portal's origin.
    QString baseURL;
    /// The login endpoint the sign-in form is posted to.
    QString loginURL;
    /// The portal's password sign-in page, fetched first for its cookies.
    QString portalURL;
    /// The host part of the address: the cookie domain and the redirect guard's host test.
    QString host;

    static PortalEndpoints fromAddress(const QString &portalAddress);
};
