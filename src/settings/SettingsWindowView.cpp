#include "settings/SettingsWindowView.h"

#include "app/AppContext.h"

#include <QLabel>
#include <QVBoxLayout>

SettingsWindowView::SettingsWindowView(AppContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setWindowTitle(QStringLiteral("设置"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("设置"), this), 0, Qt::AlignCenter);
}
