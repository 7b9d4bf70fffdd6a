#include "gui/widgets/Card.h"

#include "gui/widgets/Theme.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

Card::Card(const QString &heading, QWidget *parent) : QFrame(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    if (!heading.isEmpty()) {
        m_heading = new QLabel(heading, this);
        Theme::style(m_heading, Theme::Text::headline);
        layout->addWidget(m_heading);
    }
    m_content = new QVBoxLayout;
    m_content->setSpacing(8);
    layout->addLayout(m_content);
}

void Card::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Theme::paintContainer(painter, rect(), palette());
}
