#include "app/MainWindowView.h"

#include "app/AppContext.h"
#include "settings/SettingsWindowView.h"

#include <QVBoxLayout>

MainWindowView::MainWindowView(AppContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsWindowView(m_context, this));
}
