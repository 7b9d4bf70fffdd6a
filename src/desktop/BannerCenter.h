#pragma once

#include "common/SharedInstance.h"

#include <QString>

#include <functional>

/// The system's user notification banners. Used on the main thread; errors come back on it too.
class BannerCenter : public SharedInstance<BannerCenter>
{
public:
    /// Receives the reason a request failed, in the system's words.
    using ErrorHandler = std::function<void(const QString &reason)>;

    virtual ~BannerCenter() = default;

    /// Asks for permission to show banners with sound (no badge); `onError` hears of a failure.
    virtual void requestAuthorization(ErrorHandler onError) = 0;

    /// Shows one banner at once with the default sound. Every banner is new: none replaces another,
    /// even with the same title and body. `onError` hears of a failure.
    virtual void post(const QString &title, const QString &body, ErrorHandler onError) = 0;
};
