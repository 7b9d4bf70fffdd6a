#include "gui/widgets/SettingRow.h"

#include "gui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SettingRow::SettingRow(const QString &title, const QString &description, QWidget *control, QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    Theme::style(m_title, Theme::Text::emphasis);
    texts->addWidget(m_title);
    if (!description.isEmpty()) {
        auto *detail = new QLabel(description, this);
        detail->setWordWrap(true);
        Theme::style(detail, Theme::Text::caption, Theme::Tone::Secondary);
        texts->addWidget(detail);
    }
    row->addLayout(texts, 1);
    control->setParent(this);
    // A switch or a button without words of its own is named by the row for screen readers.
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(title);
    row->addWidget(control, 0, Qt::AlignVCenter);
}
