#include "gui/shell/FeatureRow.h"

#include "gui/widgets/SymbolView.h"
#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int iconSize = 18;
constexpr int iconColumnWidth = 24;
} // namespace

FeatureRow::FeatureRow(const QString &icon, const QString &title, const QString &description, QWidget *parent)
    : QWidget(parent)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    auto *iconColumn = new QWidget(this);
    iconColumn->setFixedWidth(iconColumnWidth);
    auto *iconLayout = new QVBoxLayout(iconColumn);
    iconLayout->setContentsMargins(0, 1, 0, 0);
    iconLayout->addWidget(new SymbolView(icon, iconSize, iconColumn), 0, Qt::AlignHCenter | Qt::AlignTop);
    iconLayout->addStretch();
    row->addWidget(iconColumn);

    auto *text = new QVBoxLayout;
    text->setSpacing(4);
    auto *titleLabel = new QLabel(title, this);
    Theme::style(titleLabel, Theme::Text::itemTitle);
    auto *descriptionLabel = new QLabel(description, this);
    Theme::style(descriptionLabel, Theme::Text::detail, Theme::Tone::Secondary);
    descriptionLabel->setWordWrap(true);
    text->addWidget(titleLabel);
    text->addWidget(descriptionLabel);
    row->addLayout(text, 1);
}
