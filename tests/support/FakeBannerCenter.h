#pragma once

#include "desktop/BannerCenter.h"

#include <QList>

/// Records banners instead of showing them.
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

    void requestAuthorization(ErrorHandler) override {}
    void post(const QString &title, const QString &body, ErrorHandler) override { banners.append({title, body}); }
};
