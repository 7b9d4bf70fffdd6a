#include "gui/widgets/ScrollingPane.h"

#include "gui/widgets/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

ScrollingPane::ScrollingPane(const QString &title, QWidget *parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAccessibleName(title); // the pane takes the focus to scroll by keyboard

    auto *content = new QWidget(this);
    content->setBackgroundRole(QPalette::Window);
    auto *outer = new QVBoxLayout(content);
    outer->setContentsMargins(margin, margin, margin, margin);
    outer->setSpacing(24);
    if (!title.isEmpty()) {
        auto *heading = new QLabel(title, content);
        heading->setObjectName(QStringLiteral("paneTitle"));
        Theme::style(heading, Theme::Text::title);
        outer->addWidget(heading);
    }
    m_column = new QVBoxLayout;
    m_column->setSpacing(20);
    outer->addLayout(m_column);
    outer->addStretch(1);
    setWidget(content);
    viewport()->setBackgroundRole(QPalette::Window);
}
