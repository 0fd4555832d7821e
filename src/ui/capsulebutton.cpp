#include "ui/capsulebutton.h"

#include "ui/uistyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace
{
constexpr int gap = 4;
constexpr int dotSize = 8;

QFont textFont(const QFont &base)
{
    return UiStyle::font(UiStyle::TextStyle::caption, base);
}

QFont smallFont(const QFont &base)
{
    return UiStyle::font(UiStyle::TextStyle::caption2, base);
}
}

CapsuleButton::CapsuleButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleButton::setSymbol(const QString &symbolName)
{
    m_symbol = symbolName;
    updateGeometry();
    update();
}

void CapsuleButton::setDotColor(const QColor &color)
{
    m_dot = color;
    updateGeometry();
    update();
}

void CapsuleButton::setTrailingColor(const QColor &color)
{
    m_trailingColor = color;
    update();
}

void CapsuleButton::setTrailingText(const QString &text)
{
    m_trailing = text;
    updateGeometry();
    update();
}

void CapsuleButton::setTrailingSymbol(const QString &symbolName)
{
    m_trailingSymbol = symbolName;
    updateGeometry();
    update();
}

void CapsuleButton::setColors(const QColor &checkedFill, const QColor &checkedText, const QColor &fill,
                              const QColor &text)
{
    m_checkedFill = checkedFill;
    m_checkedText = checkedText;
    m_fill = fill;
    m_text = text;
    update();
}

void CapsuleButton::setPadding(int horizontal, int vertical)
{
    m_padX = horizontal;
    m_padY = vertical;
    updateGeometry();
}

QSize CapsuleButton::sizeHint() const
{
    const QFontMetrics text(textFont(font()));
    const QFontMetrics small(smallFont(font()));
    int width = 2 * m_padX + text.horizontalAdvance(this->text());
    const int leadingGap = this->text().isEmpty() ? 0 : gap;
    if (!m_symbol.isEmpty())
        width += symbolSize() + leadingGap;
    else if (m_dot.isValid())
        width += dotSize + leadingGap;
    if (!m_trailing.isEmpty())
        width += gap + small.horizontalAdvance(m_trailing);
    if (!m_trailingSymbol.isEmpty())
        width += gap + small.ascent();
    return {width, qMax(text.height(), m_symbol.isEmpty() ? 0 : symbolSize()) + 2 * m_padY};
}

int CapsuleButton::symbolSize() const
{
    // Beside a text the symbol is a small companion; alone it carries the meaning and is larger.
    return text().isEmpty() ? QFontMetrics(font()).height() - 2 : QFontMetrics(smallFont(font())).ascent();
}

void CapsuleButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool checked = isChecked();
    QColor fill = checked ? m_checkedFill : m_fill;
    if (isDown())
        fill = fill.darker(115);
    const QColor textColor = checked ? m_checkedText : m_text;
    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    if (hasFocus()) {
        painter.setPen(QPen(UiStyle::accent(palette()), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), capsule.height() / 2, capsule.height() / 2);
    }

    const QFont tFont = textFont(font());
    const QFont sFont = smallFont(font());
    // Centred, so that a capsule stretched beyond its size hint keeps its content together.
    int x = qMax(m_padX, (width() - sizeHint().width()) / 2 + m_padX);
    const int midY = height() / 2;
    if (!m_symbol.isEmpty()) {
        const int size = symbolSize();
        painter.drawPixmap(QRect(x, midY - size / 2, size, size),
                           UiStyle::symbol(m_symbol, size, textColor, devicePixelRatioF()));
        x += size + gap;
    } else if (m_dot.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_dot);
        painter.drawEllipse(QRectF(x, midY - dotSize / 2.0, dotSize, dotSize));
        x += dotSize + gap;
    }
    painter.setFont(tFont);
    painter.setPen(textColor);
    const int textWidth = QFontMetrics(tFont).horizontalAdvance(text());
    painter.drawText(QRect(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    x += textWidth;
    if (!m_trailing.isEmpty()) {
        x += gap;
        painter.setFont(sFont);
        painter.setPen(m_trailingColor.isValid() ? m_trailingColor : UiStyle::secondary(palette()));
        painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignVCenter | Qt::AlignLeft, m_trailing);
        x += QFontMetrics(sFont).horizontalAdvance(m_trailing);
    }
    if (!m_trailingSymbol.isEmpty()) {
        const int size = QFontMetrics(sFont).ascent();
        painter.drawPixmap(QRect(x + gap, midY - size / 2, size, size),
                           UiStyle::symbol(m_trailingSymbol, size, textColor, devicePixelRatioF()));
    }
}
