#pragma once

#include "model/trackingstatus.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

class QAbstractButton;
class QAction;
class QFrame;
class QMessageBox;
class QWidget;

/**
 * The look shared by the main window's views: named colours that read on light and dark
 * palettes, the text styles (body, subheadline, caption, ...) as fonts derived from the
 * application font, and the secondary and accent colours of the palette.
 */
namespace UiStyle
{
/** True when the palette's window is darker than its text. */
[[nodiscard]] bool isDark(const QPalette &palette);

/**
 * A named colour as foreground on this palette: the light variants are darker, so that
 * yellow and orange text stays readable on white, the dark variants brighter.
 */
[[nodiscard]] QColor named(StatusColor color, const QPalette &palette);
/** Purple and brown are not status colours, but carriers use them. */
[[nodiscard]] QColor purple(const QPalette &palette);
[[nodiscard]] QColor brown(const QPalette &palette);

/** The primary text colour. */
[[nodiscard]] QColor primary(const QPalette &palette);
/** Text of lesser weight (captions, counts). */
[[nodiscard]] QColor secondary(const QPalette &palette);
/** Text of least weight (upcoming steps). */
[[nodiscard]] QColor tertiary(const QPalette &palette);
/** The accent (selection) colour. */
[[nodiscard]] QColor accent(const QPalette &palette);
/** Text and symbols drawn on the accent colour: white, or black where the accent is light (high contrast). */
[[nodiscard]] QColor onAccent(const QPalette &palette);
/** A colour with an opacity, for tinted backgrounds. */
[[nodiscard]] QColor withAlpha(QColor color, qreal opacity);

enum class TextStyle {
    largeTitle,
    title,
    title2,
    title3,
    headline,
    body,
    subheadline,
    caption,
    caption2,
};
/** The font of a text style, scaled from the base font. */
[[nodiscard]] QFont font(TextStyle style, const QFont &base, QFont::Weight weight = QFont::Normal);

/** A symbol tinted in one colour at a logical size, cached (list rows draw the same few icons many times). */
[[nodiscard]] QPixmap symbol(const QString &symbolName, int size, const QColor &color, qreal devicePixelRatio);

/** A symbol as an icon in the palette's text colour (theme icons do not follow a dark palette by themselves). */
[[nodiscard]] QIcon symbolIcon(const QString &symbolName, const QPalette &palette);
/** Gives the action or button the symbol's icon and remembers the symbol for retintSymbols(). */
void setSymbol(QAction *action, const QString &symbolName, const QPalette &palette);
void setSymbol(QAbstractButton *button, const QString &symbolName);
/** Re-tints every remembered symbol below root (and root's own actions) after a palette change. */
void retintSymbols(QWidget *root);

/** A user's name (group, carrier) as action or menu text: its "&" shows as itself instead of marking a shortcut. */
[[nodiscard]] QString actionText(const QString &name);

/** Sets a widget's text colour to the secondary colour. */
void makeSecondary(QWidget *widget);

/** A thin horizontal line in a faint secondary colour, between sections. */
[[nodiscard]] QFrame *divider(QWidget *parent);
/** A filled circle of a colour (colour tags and group dots beside labels). */
[[nodiscard]] QPixmap dot(const QColor &color, int diameter, qreal devicePixelRatio);
/** Widens a message box to its informative text (up to 460): it sizes itself by its short title otherwise. */
void fitInformativeText(QMessageBox *box);
}
