#include "gui/settings/AboutSettingsView.h"

#include "desktop/VersionManager.h"
#include "gui/widgets/Artwork.h"
#include "gui/widgets/Card.h"
#include "gui/widgets/SymbolIcon.h"
#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace {
const QString productName = QStringLiteral("Netlatch");
const QString versionPrefix = QStringLiteral("版本 ");
const QString introductionHeading = QStringLiteral("项目介绍");
const QString introduction = QStringLiteral("Netlatch 是一款专为 Linux 设计的校园网自动认证工具。");
const QString featuresTitle = QStringLiteral("主要功能：");
const QStringList features{
    QStringLiteral("一键自动登录校园网认证系统"), QStringLiteral("安全保存用户凭据到系统密钥环"),
    QStringLiteral("菜单栏快速访问，后台运行"), QStringLiteral("智能检测网络状态和连接超时")};
const QString usageTitle = QStringLiteral("使用说明：");
const QString usageText =
    QStringLiteral("首次使用时，请输入您的校园网用户名和密码，并勾选\"保存用户名和密码\"。"
                   "之后每次连接校园网后，只需点击\"连接\"按钮即可完成认证。"
                   "应用会在菜单栏保留图标，方便随时访问。");
const QString closingLine = QStringLiteral("期待您的反馈！");
constexpr int outlineWidth = 2;

QLabel *sectionTitle(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    Theme::style(label, Theme::Text::emphasis);
    return label;
}
} // namespace

AboutSettingsView::AboutSettingsView(QWidget *parent) : ScrollingPane({}, parent)
{
    setAccessibleName(productName);
    auto *header = new QVBoxLayout;
    header->setSpacing(8);
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("avatar"));
    image->setPixmap(avatar(palette(), devicePixelRatioF()));
    header->addWidget(image, 0, Qt::AlignHCenter);
    auto *name = new QLabel(productName, this);
    name->setObjectName(QStringLiteral("productName"));
    Theme::style(name, Theme::Text::productName);
    header->addWidget(name, 0, Qt::AlignHCenter);
    auto *version = new QLabel(versionPrefix + VersionManager::currentVersion, this);
    version->setObjectName(QStringLiteral("version"));
    Theme::style(version, Theme::Text::caption, Theme::Tone::Secondary);
    header->addWidget(version, 0, Qt::AlignHCenter);
    column()->addLayout(header);

    auto *card = new Card(introductionHeading);
    QVBoxLayout *content = card->contentLayout();
    auto *intro = new QLabel(introduction, card);
    intro->setWordWrap(true);
    content->addWidget(intro);
    content->addSpacing(4);
    content->addWidget(sectionTitle(featuresTitle, card));
    const QPixmap check = SymbolIcon::pixmap(QStringLiteral("checkmark.circle.fill"), 14,
                                             Theme::success(palette()), devicePixelRatioF());
    for (const QString &feature : features) {
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        auto *icon = new QLabel(card);
        icon->setPixmap(check);
        row->addWidget(icon);
        row->addWidget(new QLabel(feature, card), 1);
        content->addLayout(row);
    }
    content->addSpacing(4);
    content->addWidget(sectionTitle(usageTitle, card));
    auto *usage = new QLabel(usageText, card);
    usage->setObjectName(QStringLiteral("usageText"));
    usage->setWordWrap(true);
    content->addWidget(usage);
    column()->addWidget(card);

    auto *closing = new QLabel(closingLine, this);
    Theme::style(closing, Theme::Text::caption, Theme::Tone::Secondary);
    column()->addWidget(closing, 0, Qt::AlignHCenter);
}

QPixmap AboutSettingsView::avatar(const QPalette &palette, qreal devicePixelRatio)
{
    QPixmap result(QSize(avatarSize, avatarSize) * devicePixelRatio);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF circle(outlineWidth / 2.0, outlineWidth / 2.0, avatarSize - outlineWidth,
                        avatarSize - outlineWidth);
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    QSvgRenderer(Artwork::imagePath(Artwork::avatar)).render(&painter, circle);
    painter.setClipping(false);
    painter.setPen(QPen(Theme::accent(palette), outlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
    return result;
}
