#include "gui/widgets/SettingRow.h"

#include "gui/widgets/Theme.h"

#include <QAbstractButton>
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
    // A control without words of its own (a switch) is named by the row for screen readers.
    const auto *button = qobject_cast<QAbstractButton *>(control);
    if (control->accessibleName().isEmpty() && (!button || button->text().isEmpty()))
        control->setAccessibleName(title);
    row->addWidget(control, 0, Qt::AlignVCenter);
}
