#include "cli/HelpTable.h"

#include <QStringList>

#include <algorithm>

namespace {
constexpr int indent = 2;
constexpr int gap = 2;
// A term longer than this gets its description on the next line, so one long term does not push
// every description to the right.
constexpr int maxTermWidth = 30;
} // namespace

QString HelpTable::optionTerm(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString term = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        term += QLatin1Char(' ') + option.valueName();
    return term;
}

void HelpTable::add(const QString &term, const QString &description)
{
    m_rows.append({term, description});
}

QString HelpTable::text() const
{
    qsizetype termWidth = 0;
    for (const auto &[term, description] : m_rows) {
        if (term.size() <= maxTermWidth)
            termWidth = std::max(termWidth, term.size());
    }
    const qsizetype column = indent + termWidth + gap;
    const QString margin(column, QLatin1Char(' '));
    QString text;
    for (const auto &[term, description] : m_rows) {
        QString line = QString(indent, QLatin1Char(' ')) + term;
        if (term.size() > termWidth) {
            text += line + QLatin1Char('\n');
            line = margin;
        } else {
            line = line.leftJustified(column);
        }
        bool lineEmpty = true;
        for (const QString &word : description.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!lineEmpty && line.size() + 1 + word.size() > lineWidth) {
                text += line + QLatin1Char('\n');
                line = margin;
                lineEmpty = true;
            }
            line += (lineEmpty ? QString() : QStringLiteral(" ")) + word;
            lineEmpty = false;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}
