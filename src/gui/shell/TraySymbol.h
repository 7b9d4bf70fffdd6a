#pragma once

#include <QIconEngine>

/// The tray item's icon. To the panel it names the installed symbolic icon, which hosts that read
/// StatusNotifierItems recolour to suit the panel; where that name means nothing (an XEmbed tray, a
/// build that is not installed) the panel gets pictures instead: the same symbol, light with a dark
/// outline, readable on a dark panel and on a light one alike. Both come from one drawing.
class TraySymbol final : public QIconEngine
{
public:
    static inline const QString themeName = QStringLiteral("app.netlatch.Netlatch-symbolic");

    /// The icon; it names the themed icon only when it is installed where panels look for it.
    static QIcon icon();

    explicit TraySymbol(bool installed) : m_installed(installed) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QString iconName() override;
    QIconEngine *clone() const override;

private:
    bool m_installed;
};
