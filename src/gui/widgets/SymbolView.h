#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

/// One symbol at a fixed size in one colour (the accent colour unless told otherwise).
class SymbolView : public QWidget
{
    Q_OBJECT

public:
    SymbolView(const QString &symbol, int size, QWidget *parent = nullptr);

    /// An invalid colour follows the palette's accent colour.
    void setColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    int m_size;
    QColor m_colour;
};
