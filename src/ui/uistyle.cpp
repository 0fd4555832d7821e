#include "ui/uistyle.h"

#include "ui/symbolicon.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFrame>
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
}

QIcon symbolIcon(const QString &symbolName, const QPalette &palette)
{
    QIcon icon;
    const QColor color = palette.color(QPalette::Active, QPalette::WindowText);
    for (const int size : {14, 16, 18, 20, 22, 24, 32}) {
        for (const qreal dpr : {1.0, 2.0})
            icon.addPixmap(symbol(symbolName, size, color, dpr));
    }
    return icon;
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
