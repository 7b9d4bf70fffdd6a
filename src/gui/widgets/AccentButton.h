#pragma once

#include <QAbstractButton>

class QLabel;
class Spinner;
class SymbolView;

/// A filled button in the accent colour with white content: an optional symbol (or a spinner while
/// busy) 8 before its text, on a rectangle with rounded corners. It stays pressable in every state;
/// a dimmed button draws its fill at 60 % opacity to say it is not ready yet.
class AccentButton : public QAbstractButton
{
    Q_OBJECT

public:
    /// `symbol` is a SymbolIcon name or empty; the text is 16 medium.
    explicit AccentButton(const QString &text, const QString &symbol = {}, QWidget *parent = nullptr);

    void setLabel(const QString &text);
    void setBusy(bool busy);
    void setDimmed(bool dimmed);
    bool isBusy() const { return m_busy; }
    bool isDimmed() const { return m_dimmed; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_label;
    SymbolView *m_symbol = nullptr;
    Spinner *m_spinner = nullptr;
    bool m_busy = false;
    bool m_dimmed = false;
};
