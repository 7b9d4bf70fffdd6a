#pragma once

#include <QString>
#include <QWidget>

/// Shows one of the pictures at a fixed size, drawn from its vector form at the screen's density.
class SvgImage : public QWidget
{
    Q_OBJECT

public:
    SvgImage(const QString &name, QSize size, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_path;
};
