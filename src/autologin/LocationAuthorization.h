#pragma once

#include <QObject>

/// The permission some systems require before they reveal the SSID. Only `AuthorizedAlways` lets
/// the SSID lookup go ahead. Lives on the main thread.
class LocationAuthorization : public QObject
{
    Q_OBJECT

public:
    enum Status : qint32 {
        NotDetermined = 0,
        Restricted = 1,
        Denied = 2,
        AuthorizedAlways = 3,
        AuthorizedWhenInUse = 4,
    };

    using QObject::QObject;

    virtual Status authorizationStatus() const = 0;

    /// Asks the user for permission at all times; the answer arrives as authorizationChanged().
    virtual void requestAlwaysAuthorization() = 0;

Q_SIGNALS:
    /// The status changed; read it with authorizationStatus().
    void authorizationChanged();
};
