#pragma once

#include <QPushButton>

class QLabel;
class Spinner;

/// A push button with a symbol before its title. While busy, a spinner takes the symbol's place, the
/// title may change ("刷新中...") and the button is drawn at 60 % opacity; its owner ignores clicks then.
class BusyButton : public QPushButton
{
    Q_OBJECT

public:
    BusyButton(const QString &symbolName, const QString &title, QWidget *parent = nullptr);

    /// `busyTitle` replaces the title while busy; empty keeps it.
    void setBusy(bool busy, const QString &busyTitle = {});
    bool isBusy() const { return m_busy; }
    /// The title shown now.
    QString title() const;

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void paintSymbol();

    QString m_symbolName;
    QString m_title;
    bool m_busy = false;
    QLabel *m_symbol;
    Spinner *m_spinner;
    QLabel *m_titleLabel;
};
