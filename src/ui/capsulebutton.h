#pragma once

#include <QAbstractButton>
#include <QColor>

/**
 * A small checkable button drawn as a capsule: an optional leading symbol or colour dot, a
 * text and an optional trailing count. The owner chooses the fill and text colours for the
 * checked and unchecked states.
 */
class CapsuleButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit CapsuleButton(QWidget *parent = nullptr);

    void setSymbol(const QString &symbolName);
    /** A filled circle before the text instead of a symbol. */
    void setDotColor(const QColor &color);
    void setTrailingText(const QString &text);
    /** A symbol after the text (and after any trailing text), in the text colour; empty for none. */
    void setTrailingSymbol(const QString &symbolName);
    /** The trailing text's colour; the secondary text colour until one is set. */
    void setTrailingColor(const QColor &color);
    [[nodiscard]] QString trailingText() const { return m_trailing; }
    void setColors(const QColor &checkedFill, const QColor &checkedText, const QColor &fill, const QColor &text);
    void setPadding(int horizontal, int vertical);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    [[nodiscard]] int symbolSize() const;

    QString m_symbol;
    QColor m_dot;
    QString m_trailing;
    QString m_trailingSymbol;
    QColor m_trailingColor;
    QColor m_checkedFill;
    QColor m_checkedText;
    QColor m_fill;
    QColor m_text;
    int m_padX = 10;
    int m_padY = 5;
};
