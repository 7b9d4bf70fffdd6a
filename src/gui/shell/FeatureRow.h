#pragma once

#include <QWidget>

/// One line of the update log: an accent-coloured symbol beside a title and its description.
class FeatureRow : public QWidget
{
    Q_OBJECT

public:
    FeatureRow(const QString &icon, const QString &title, const QString &description,
               QWidget *parent = nullptr);
};
