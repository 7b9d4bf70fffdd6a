#include "gui/shell/WelcomeView.h"

#include "desktop/WelcomeManager.h"
#include "gui/AppContext.h"
#include "gui/widgets/AccentButton.h"
#include "gui/widgets/Artwork.h"
#include "gui/widgets/SvgImage.h"
#include "gui/widgets/Theme.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
const QString welcomeTitle = QStringLiteral("欢迎使用 Netlatch");
const QString welcomeSubtitle = QStringLiteral("校园网自动认证工具");
// The product runs on Linux here, so the welcome text names Linux as its platform.
const QString introLine1 = QStringLiteral("Netlatch 是一款专为 Linux 设计的校园网自动认证工具，");
const QString introLine2 = QStringLiteral("让您无需每次手动打开浏览器输入账号密码，一键即可完成校园网认证。");
const QString trayTip = QStringLiteral("Tips：从MenuBar点击图标即可快捷联网，无需打开主窗口哦~");
const QString trayHint =
    QStringLiteral("若无法在menubar看到图标，试试退出开启了状态栏歌词的音乐App或会议软件。"
                   "它们会透明占用menubar位置导致新软件图标显示不出来哦~");
const QString feedback = QStringLiteral("欢迎随时向我反馈使用时的任何问题和建议，帮助我改进我的产品。");
const QString continueTitle = QStringLiteral("继续");
const QString startTitle = QStringLiteral("开始使用");

constexpr QSize buttonSize{200, 44};
} // namespace

WelcomeView::WelcomeView(AppContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_pages(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("welcomeView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pages);

    m_pages->addWidget(makePage(
        Artwork::logo, {150, 150},
        {makeText(welcomeTitle, Theme::Text::heroTitle, Theme::Tone::Primary),
         makeText(welcomeSubtitle, Theme::Text::subtitle, Theme::Tone::Secondary),
         makeText(introLine1 + QLatin1Char('\n') + introLine2, Theme::Text::lead, Theme::Tone::Secondary)},
        continueTitle));
    m_pages->addWidget(makePage(Artwork::menubar, {400, 250},
                                {makeText(trayTip, Theme::Text::tip, Theme::Tone::Primary),
                                 makeText(trayHint, Theme::Text::footnote, Theme::Tone::Secondary)},
                                continueTitle));
    m_pages->addWidget(makePage(Artwork::avatar, {120, 120},
                                {makeText(feedback, Theme::Text::message, Theme::Tone::Secondary)},
                                startTitle));
}

int WelcomeView::currentPage() const
{
    return m_pages->currentIndex();
}

void WelcomeView::setCurrentPage(int page)
{
    m_pages->setCurrentIndex(std::clamp(page, 0, pageCount - 1));
}

QWidget *WelcomeView::makePage(const QString &image, QSize imageSize, const QList<QWidget *> &texts,
                               const QString &buttonTitle)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->setSpacing(30);
    layout->addStretch();
    layout->addWidget(new SvgImage(image, imageSize, page), 0, Qt::AlignHCenter);
    for (QWidget *text : texts)
        layout->addWidget(text);
    auto *button = new AccentButton(buttonTitle, {}, page);
    button->setObjectName(QStringLiteral("pageButton%1").arg(m_pages->count()));
    button->setFixedSize(buttonSize);
    const bool last = m_pages->count() == pageCount - 1;
    connect(button, &AccentButton::clicked, this,
            last ? std::function<void()>([this] { startPressed(); }) : std::function<void()>([this] {
                setCurrentPage(currentPage() + 1);
                Theme::fadeIn(m_pages->currentWidget());
            }));
    layout->addWidget(button, 0, Qt::AlignHCenter);
    layout->addStretch();
    return page;
}

QWidget *WelcomeView::makeText(const QString &text, const Theme::TextStyle &style, Theme::Tone tone)
{
    auto *label = new QLabel(text);
    Theme::style(label, style, tone);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

void WelcomeView::startPressed()
{
    m_context.welcome.setHasShownWelcome(true);
    Q_EMIT finished();
}
