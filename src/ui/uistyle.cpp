#include "ui/uistyle.h"

#include "ui/symbolicon.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QIconEngine>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmapCache>
#include <QWidget>

namespace UiStyle
{
bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < palette.color(QPalette::WindowText).lightnessF();
}

QColor named(StatusColor color, const QPalette &palette)
{
    const bool dark = isDark(palette);
    switch (color) {
    case StatusColor::secondary:
        return secondary(palette);
    case StatusColor::gray:
        return dark ? QColor(0x98, 0x98, 0x9d) : QColor(0x6e, 0x6e, 0x73);
    case StatusColor::blue:
        return dark ? QColor(0x40, 0x9c, 0xff) : QColor(0x00, 0x66, 0xd6);
    case StatusColor::orange:
        return dark ? QColor(0xff, 0x9f, 0x0a) : QColor(0xc2, 0x5e, 0x00);
    case StatusColor::green:
        return dark ? QColor(0x30, 0xd1, 0x58) : QColor(0x24, 0x8a, 0x3d);
    case StatusColor::yellow:
        return dark ? QColor(0xff, 0xd6, 0x0a) : QColor(0x9a, 0x74, 0x00);
    case StatusColor::red:
        return dark ? QColor(0xff, 0x69, 0x61) : QColor(0xd7, 0x00, 0x15);
    }
    return secondary(palette);
}

QColor purple(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xbf, 0x5a, 0xf2) : QColor(0x89, 0x44, 0xab);
}

QColor brown(const QPalette &palette)
{
    return isDark(palette) ? QColor(0xac, 0x8e, 0x68) : QColor(0x7f, 0x65, 0x45);
}

QColor primary(const QPalette &palette)
{
    return palette.color(QPalette::WindowText);
}

namespace
{
QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t), float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}
}

QColor secondary(const QPalette &palette)
{
    // Opaque, so that it paints the same on any row background.
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.62);
}

QColor tertiary(const QPalette &palette)
{
    return mix(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.42);
}

QColor accent(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::Highlight);
}

QColor onAccent(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::HighlightedText);
}

QColor withAlpha(QColor color, qreal opacity)
{
    color.setAlphaF(float(color.alphaF() * opacity));
    return color;
}

QFont font(TextStyle style, const QFont &base, QFont::Weight weight)
{
    QFont f = base;
    qreal scale = 1.0;
    switch (style) {
    case TextStyle::largeTitle:
        scale = 2.0;
        break;
    case TextStyle::title:
        scale = 1.7;
        break;
    case TextStyle::title2:
        scale = 1.5;
        break;
    case TextStyle::title3:
        scale = 1.25;
        break;
    case TextStyle::headline:
        scale = 1.0;
        if (weight == QFont::Normal)
            weight = QFont::Bold;
        break;
    case TextStyle::body:
        break;
    case TextStyle::subheadline:
        scale = 0.95;
        break;
    case TextStyle::caption:
        scale = 0.87;
        break;
    case TextStyle::caption2:
        scale = 0.8;
        break;
    }
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * scale);
    else
        f.setPixelSize(qMax(8, qRound(f.pixelSize() * scale)));
    f.setWeight(weight);
    return f;
}

QPixmap symbol(const QString &symbolName, int size, const QColor &color, qreal devicePixelRatio)
{
    const QString key = QStringLiteral("kestrove-symbol:%1:%2:%3:%4")
                            .arg(symbolName)
                            .arg(size)
                            .arg(color.rgba(), 0, 16)
                            .arg(devicePixelRatio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap = SymbolIcon::tinted(symbolName, size, color, devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

namespace
{
const char *const symbolProperty = "kestroveSymbol";

/**
 * Draws a symbol when it is painted, at the size and pixel ratio asked for: a window builds many
 * buttons it never shows (other pages, menus), and rendering each symbol's SVG at every size up
 * front was the largest part of opening the main window. Pixmaps are shared through the cache.
 */
class SymbolIconEngine final : public QIconEngine
{
public:
    SymbolIconEngine(const QString &symbolName, const QColor &color, const QColor &disabledColor)
        : m_symbolName(symbolName)
        , m_color(color)
        , m_disabledColor(disabledColor)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const int side = qMin(rect.width(), rect.height());
        if (side <= 0)
            return;
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap pixmap = symbol(m_symbolName, side, colorFor(mode), ratio);
        painter->drawPixmap(
            QRect(QPoint(0, 0), QSize(side, side)).translated(rect.center() - QPoint(side / 2, side / 2)), pixmap);
    }

    // QIcon asks in device pixels and sets the pixel ratio on the result itself.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return side > 0 ? symbol(m_symbolName, side, colorFor(mode), 1.0) : QPixmap();
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    [[nodiscard]] QIconEngine *clone() const override
    {
        return new SymbolIconEngine(m_symbolName, m_color, m_disabledColor);
    }
    [[nodiscard]] QString key() const override { return QStringLiteral("KestroveSymbol"); }
    [[nodiscard]] bool isNull() override { return m_symbolName.isEmpty(); }

private:
    [[nodiscard]] QColor colorFor(QIcon::Mode mode) const
    {
        return mode == QIcon::Disabled ? m_disabledColor : m_color;
    }

    QString m_symbolName;
    QColor m_color;
    QColor m_disabledColor;
};
}

QIcon symbolIcon(const QString &symbolName, const QPalette &palette)
{
    return QIcon(new SymbolIconEngine(symbolName, palette.color(QPalette::Active, QPalette::WindowText),
                                      palette.color(QPalette::Disabled, QPalette::WindowText)));
}

void setSymbol(QAction *action, const QString &symbolName, const QPalette &palette)
{
    action->setProperty(symbolProperty, symbolName);
    action->setIcon(symbolIcon(symbolName, palette));
}

void setSymbol(QAbstractButton *button, const QString &symbolName)
{
    button->setProperty(symbolProperty, symbolName);
    button->setIcon(symbolIcon(symbolName, button->palette()));
}

void retintSymbols(QWidget *root)
{
    const auto retint = [](QObject *object, const QPalette &palette) {
        const QString name = object->property(symbolProperty).toString();
        if (name.isEmpty())
            return;
        if (auto *action = qobject_cast<QAction *>(object))
            action->setIcon(symbolIcon(name, palette));
        else if (auto *button = qobject_cast<QAbstractButton *>(object))
            button->setIcon(symbolIcon(name, button->palette()));
    };
    retint(root, root->palette());
    for (QObject *object : root->findChildren<QObject *>())
        retint(object, root->palette());
    for (QAction *action : root->actions())
        retint(action, root->palette());
}

QString actionText(const QString &name)
{
    QString text = name;
    return text.replace(u'&', QStringLiteral("&&"));
}

void makeSecondary(QWidget *widget)
{
    // From the parent's palette: the widget's own text colour may be a secondary one already.
    const QPalette source = widget->parentWidget() ? widget->parentWidget()->palette() : QApplication::palette(widget);
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, secondary(source));
    p.setColor(QPalette::Text, secondary(source));
    widget->setPalette(p);
}

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    QPalette p = line->palette();
    p.setColor(QPalette::WindowText, withAlpha(secondary(p), 0.35));
    line->setPalette(p);
    return line;
}

QPixmap dot(const QColor &color, int diameter, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(diameter, diameter) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(0, 0, diameter, diameter));
    return pixmap;
}

void fitInformativeText(QMessageBox *box)
{
    if (auto *message = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const QString firstLine = box->informativeText().section(QLatin1Char('\n'), 0, 0);
        message->setMinimumWidth(qMin(message->fontMetrics().horizontalAdvance(firstLine) + 8, 460));
    }
}
}
