#pragma once

#include "gui/widgets/Theme.h"

#include <QWidget>

struct AppContext;
class QStackedWidget;

/// The three welcome pages: what Netlatch is, where its tray item lives, and who to tell about
/// problems (600 × 600). "开始使用" on the last page remembers that the pages were finished.
class WelcomeView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int pageCount = 3;

    explicit WelcomeView(AppContext &context, QWidget *parent = nullptr);

    int currentPage() const;
    void setCurrentPage(int page);

Q_SIGNALS:
    /// The pages were finished (the main window's welcome flag turns false).
    void finished();

private:
    QWidget *makePage(const QString &image, QSize imageSize, const QList<QWidget *> &texts,
                      const QString &buttonTitle);
    static QWidget *makeText(const QString &text, const Theme::TextStyle &style, Theme::Tone tone);
    void startPressed();

    AppContext &m_context;
    QStackedWidget *m_pages;
};
