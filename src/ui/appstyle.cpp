#include "ui/appstyle.h"

#include "ui/uistyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

void AppStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    const bool outlined = element == PE_IndicatorCheckBox || element == PE_IndicatorRadioButton
        || element == PE_IndicatorItemViewItemCheck || element == PE_FrameLineEdit;
    // Light palettes keep the style's own edges; a focused field keeps its highlight.
    if (!outlined || !UiStyle::isDark(option->palette) || (option->state & State_HasFocus))
        return;
    const auto halfway = [](const QColor &a, const QColor &b) {
        return QColor::fromRgbF((a.redF() + b.redF()) / 2, (a.greenF() + b.greenF()) / 2, (a.blueF() + b.blueF()) / 2);
    };
    // Halfway between window and text: visible without outshouting the labels; fainter when disabled.
    const QColor window = option->palette.color(QPalette::Window);
    QColor edge = halfway(window, option->palette.color(QPalette::WindowText));
    if (!(option->state & State_Enabled))
        edge = halfway(window, edge);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(edge, 1));
    const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (element == PE_IndicatorRadioButton)
        painter->drawEllipse(box.adjusted(1, 1, -1, -1));
    else
        painter->drawRoundedRect(box, 2, 2);
    painter->restore();
}

QIcon AppStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option, const QWidget *widget) const
{
    if (standardIcon != SP_ToolBarHorizontalExtensionButton && standardIcon != SP_ToolBarVerticalExtensionButton)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    const QPalette palette = widget ? widget->palette() : option ? option->palette : QApplication::palette();
    return UiStyle::symbolIcon(standardIcon == SP_ToolBarHorizontalExtensionButton ? QStringLiteral("chevron.forward.2")
                                                                                   : QStringLiteral("chevron.down.2"),
                               palette);
}

void AppStyle::install()
{
    // Over the style in use, which the user may have chosen (-style, QT_STYLE_OVERRIDE): a fresh
    // copy by name, since QApplication deletes the style it replaces.
    QApplication::setStyle(new AppStyle(QApplication::style()->name()));
}
