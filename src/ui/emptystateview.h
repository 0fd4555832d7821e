#pragma once

#include <QWidget>

class QLabel;

/** A centred panel of an icon, a title and a line of text: what a list or pane shows when it has nothing. */
class EmptyStateView : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyStateView(QWidget *parent = nullptr);

    /** Shows this symbol, title and text. */
    void setContent(const QString &symbolName, const QString &title, const QString &text);
    [[nodiscard]] QString symbolName() const { return m_symbol; }
    [[nodiscard]] QString title() const;
    [[nodiscard]] QString text() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateIcon();

    QString m_symbol;
    QLabel *m_icon;
    QLabel *m_title;
    QLabel *m_text;
};
