#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

/// A two-column table of terms and descriptions as --help prints it: every description starts in
/// the same column, and a long one wraps at word boundaries into that column.
class HelpTable
{
public:
    /// The width the table is wrapped to.
    static constexpr int lineWidth = 80;

    /// "-h, --help" or "--username NAME": an option as it is typed.
    static QString optionTerm(const QCommandLineOption &option);

    void add(const QString &term, const QString &description);
    QString text() const;

private:
    QList<std::pair<QString, QString>> m_rows;
};
