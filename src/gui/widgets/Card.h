#pragma once

#include <QFrame>

class QLabel;
class QVBoxLayout;

/// A rounded card in the control background colour with an optional bold heading; content goes into
/// contentLayout().
class Card : public QFrame
{
    Q_OBJECT

public:
    explicit Card(const QString &heading = {}, QWidget *parent = nullptr);

    QVBoxLayout *contentLayout() const { return m_content; }
    QLabel *headingLabel() const { return m_heading; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_heading = nullptr;
    QVBoxLayout *m_content;
};
