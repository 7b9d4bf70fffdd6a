#pragma once

#include "app/BannerCenter.h"

#include <QList>

#include <optional>

/// Records banners instead of showing them; fails every request with `failure` when it is set.
class FakeBannerCenter final : public BannerCenter
{
public:
    struct Banner
    {
        QString title;
        QString body;
        bool operator==(const Banner &) const = default;
    };

    QList<Banner> banners;
    int authorizationRequests = 0;
    std::optional<QString> failure;

    void requestAuthorization(ErrorHandler onError) override
    {
        ++authorizationRequests;
        if (failure)
            onError(*failure);
    }
    void post(const QString &title, const QString &body, ErrorHandler onError) override
    {
        banners.append({title, body});
        if (failure)
            onError(*failure);
    }
};
