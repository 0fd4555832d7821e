#pragma once

#include <QProxyStyle>

/**
 * The platform's style, with the edges of check boxes, radio buttons and text fields drawn so
 * that they show on a dark or high-contrast palette. The usual style darkens the window colour
 * for those edges, which on a black window leaves an unticked box invisible. The overflow arrows
 * of tool bars and menu bars are symbols too: the usual style decodes a bitmap for them, which
 * loads every image plug-in while the first window is being built.
 */
class AppStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

    /** Puts the style in place for the whole application. */
    static void install();
};
