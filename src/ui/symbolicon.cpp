#include "ui/symbolicon.h"

#include "ui/symbolcache.h"

#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace
{
// Symbolic names first: they follow the palette and match the monochrome symbols the
// screens are drawn for; the coloured names after them cover themes without symbolic icons.
const QHash<QString, QStringList> &table()
{
    static const QHash<QString, QStringList> names = [] {
        QHash<QString, QStringList> t;
        auto add = [&t](const char *symbol, std::initializer_list<const char *> themeNames) {
            QStringList list;
            for (const char *name : themeNames)
                list.append(QString::fromLatin1(name));
            t.insert(QString::fromLatin1(symbol), list);
        };
        add("shippingbox.fill", {"package-x-generic-symbolic", "package-x-generic"});
        add("shippingbox", {"package-x-generic-symbolic", "package-x-generic"});
        add("box.truck.fill", {"package-x-generic-symbolic", "package-x-generic"});
        // Out for delivery: a vehicle on the road, told apart from the parcel of in transit by shape.
        add("truck.box", {"emoji-travel-symbolic", "mail-send-symbolic"});
        add("bag", {"package-x-generic-symbolic", "package-x-generic"});
        add("bag.fill", {"package-x-generic-symbolic", "package-x-generic"});
        add("car.fill", {"emoji-travel-symbolic"});
        add("airplane", {"airplane-mode-symbolic"});
        add("leaf.fill", {"emoji-nature-symbolic"});
        add("archivebox", {"folder-symbolic", "folder"});
        add("tray.and.arrow.up", {"document-send-symbolic", "document-send"});
        add("arrow.clockwise", {"view-refresh-symbolic", "view-refresh"});
        add("clock.arrow.circlepath", {"document-open-recent-symbolic", "document-open-recent"});
        add("arrow.triangle.branch", {"view-sort-ascending-symbolic", "view-sort-ascending"});
        add("arrow.up.arrow.down", {"view-sort-descending-symbolic", "view-sort-descending"});
        add("arrow.up.right.square", {"send-to-symbolic", "web-browser-symbolic", "web-browser"});
        add("safari", {"web-browser-symbolic", "web-browser"});
        add("globe", {"web-browser-symbolic", "network-workgroup-symbolic"});
        add("globe.americas.fill", {"web-browser-symbolic", "network-workgroup-symbolic"});
        add("globe.europe.africa.fill", {"web-browser-symbolic", "network-workgroup-symbolic"});
        add("globe.asia.australia.fill", {"web-browser-symbolic", "network-workgroup-symbolic"});
        add("globe.central.south.asia.fill", {"web-browser-symbolic", "network-workgroup-symbolic"});
        add("map", {"mark-location-symbolic", "find-location-symbolic"});
        add("plus", {"list-add-symbolic", "list-add"});
        add("plus.circle.fill", {"list-add-symbolic", "list-add"});
        add("minus.circle", {"list-remove-symbolic", "list-remove"});
        add("trash", {"user-trash-symbolic", "user-trash"});
        add("gear", {"emblem-system-symbolic", "preferences-system-symbolic", "preferences-system"});
        add("gearshape", {"emblem-system-symbolic", "preferences-system-symbolic", "preferences-system"});
        add("key", {"dialog-password-symbolic", "dialog-password"});
        add("key.fill", {"dialog-password-symbolic", "dialog-password"});
        add("bell", {"preferences-system-notifications-symbolic", "alarm-symbolic"});
        add("bell.fill", {"preferences-system-notifications-symbolic", "alarm-symbolic"});
        add("bell.badge.fill", {"preferences-system-notifications-symbolic", "alarm-symbolic"});
        add("info.circle", {"help-about-symbolic", "dialog-information-symbolic", "help-about"});
        add("power", {"system-shutdown-symbolic", "application-exit-symbolic", "application-exit"});
        add("macwindow", {"window-new-symbolic", "window-new"});
        add("calendar", {"x-office-calendar-symbolic", "x-office-calendar"});
        add("calendar.badge.plus", {"appointment-new-symbolic", "appointment-new"});
        add("calendar.badge.clock", {"x-office-calendar-symbolic", "x-office-calendar"});
        // Pending is a plain clock, expired the clock that was missed: the same shape would leave only the colour.
        add("clock", {"preferences-system-time-symbolic", "alarm-symbolic", "document-open-recent-symbolic"});
        add("clock.badge.xmark", {"appointment-missed-symbolic", "process-stop-symbolic"});
        add("clock.badge.questionmark", {"alarm-symbolic", "document-open-recent-symbolic"});
        add("list.bullet", {"view-list-symbolic", "view-list"});
        add("checkmark", {"object-select-symbolic", "emblem-ok-symbolic"});
        add("checkmark.circle", {"emblem-ok-symbolic", "object-select-symbolic"});
        add("checkmark.circle.fill", {"emblem-default-symbolic", "emblem-ok-symbolic", "object-select-symbolic"});
        add("xmark", {"window-close-symbolic", "process-stop-symbolic"});
        add("xmark.circle", {"window-close-symbolic", "process-stop-symbolic"});
        add("xmark.circle.fill", {"window-close-symbolic", "process-stop-symbolic"});
        add("exclamationmark.triangle", {"dialog-warning-symbolic", "dialog-warning"});
        add("exclamationmark.triangle.fill", {"dialog-warning-symbolic", "dialog-warning"});
        add("exclamationmark.octagon", {"dialog-error-symbolic", "process-stop-symbolic", "dialog-error"});
        add("exclamationmark.circle.fill", {"emblem-important-symbolic", "dialog-error-symbolic"});
        add("doc.on.doc", {"edit-copy-symbolic", "edit-copy"});
        add("doc.on.clipboard", {"edit-paste-symbolic", "edit-paste"});
        add("note.text", {"accessories-text-editor-symbolic", "document-edit-symbolic"});
        add("folder", {"folder-symbolic", "folder"});
        add("folder.badge.plus", {"folder-new-symbolic", "folder-new"});
        // A tray with an arrow leaving it (export) and one with an arrow coming down into it (import).
        add("square.and.arrow.up", {"send-to-symbolic", "document-send-symbolic", "document-send"});
        add("square.and.arrow.down", {"document-save-symbolic", "document-save"});
        add("pin.fill", {"view-pin-symbolic", "starred-symbolic"});
        add("pin.slash", {"view-pin-symbolic", "non-starred-symbolic"});
        add("envelope.fill", {"mail-unread-symbolic", "mail-send-symbolic"});
        add("ellipsis.circle", {"view-more-symbolic", "view-more-horizontal-symbolic"});
        add("chevron.right", {"go-next-symbolic", "go-next"});
        add("chevron.left", {"go-previous-symbolic", "go-previous"});
        // The overflow arrows of tool bars and menu bars.
        add("chevron.forward.2", {"pan-end-symbolic", "go-next-symbolic", "go-next"});
        add("chevron.down.2", {"pan-down-symbolic", "go-down-symbolic", "go-down"});
        add("circle.fill", {"media-record-symbolic"});
        add("circle", {"radio-symbolic"});
        add("pin", {"view-pin-symbolic", "non-starred-symbolic"});
        add("magnifyingglass", {"edit-find-symbolic", "system-search-symbolic"});
        add("photo", {"image-x-generic-symbolic", "insert-image-symbolic"});
        return t;
    }();
    return names;
}

void drawBox(QPainter &p, const QColor &color, bool filled)
{
    // An upright parcel seen slightly from above: lid, two sides and the tape line.
    const QPointF top(32, 8), left(8, 20), right(56, 20), centre(32, 32);
    const QPointF bottomLeft(8, 46), bottomRight(56, 46), bottom(32, 58);
    QPainterPath outline;
    outline.moveTo(top);
    outline.lineTo(right);
    outline.lineTo(bottomRight);
    outline.lineTo(bottom);
    outline.lineTo(bottomLeft);
    outline.lineTo(left);
    outline.closeSubpath();
    if (filled) {
        // Solid body; the edges are cut out of it so that the shape still reads as a box.
        p.fillPath(outline, color);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        p.setPen(QPen(color, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(outline);
    }
    p.drawLine(left, centre);
    p.drawLine(centre, right);
    p.drawLine(centre, bottom);
    p.drawLine(QPointF(20, 14), QPointF(44, 26));
}

void drawQuestionCircle(QPainter &p, const QColor &color)
{
    // The themes offer a question mark only in a box or a diamond, which reads as a parcel here.
    p.setPen(QPen(color, 4));
    p.drawEllipse(QRectF(6, 6, 52, 52));
    QFont font = p.font();
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(6, 6, 52, 52), Qt::AlignCenter, QStringLiteral("?"));
}

void drawGeneric(QPainter &p, const QColor &color, const QString &symbolName)
{
    // A rounded frame with the symbol's initial: recognisable enough for an unknown name.
    p.setPen(QPen(color, 4));
    p.drawRoundedRect(QRectF(8, 8, 48, 48), 10, 10);
    QFont font = p.font();
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    const QString initial = symbolName.isEmpty() ? QStringLiteral("?") : symbolName.left(1).toUpper();
    p.drawText(QRectF(8, 8, 48, 48), Qt::AlignCenter, initial);
}

/** The drawn stand-in for a symbol the theme lacks, or an unknown name. */
QIcon drawnFallback(const QString &symbolName)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = QGuiApplication::palette().color(QPalette::WindowText);
    if (symbolName.startsWith(QLatin1String("shippingbox")) || symbolName.contains(QLatin1String("box")))
        drawBox(p, color, symbolName.endsWith(QLatin1String(".fill")));
    else if (symbolName == QLatin1String("questionmark.circle"))
        drawQuestionCircle(p, color);
    else
        drawGeneric(p, color, symbolName);
    p.end();
    return QIcon(pixmap);
}

/** The theme's icon for a symbol name; null when the theme has none of its names. */
QIcon themedIcon(const QString &symbolName)
{
    // One icon per name: a themed icon reads its SVG file when it is made, and the symbols are
    // drawn at several sizes and colours. A themed icon follows a change of theme by itself.
    static QHash<QString, QIcon> made;
    if (const auto found = made.constFind(symbolName); found != made.constEnd())
        return *found;
    for (const QString &name : table().value(symbolName)) {
        if (QIcon::hasThemeIcon(name)) {
            const QIcon themed = QIcon::fromTheme(name);
            made.insert(symbolName, themed);
            return themed;
        }
    }
    return {};
}
}

namespace SymbolIcon
{
QPixmap tinted(const QString &symbolName, int size, const QColor &color, qreal devicePixelRatio)
{
    // Only the theme's pictures are kept on disk; the drawn stand-ins are cheap and follow the palette.
    const QImage picture = SymbolCache::image(symbolName, size, devicePixelRatio, [&] {
        const QIcon fromTheme = themedIcon(symbolName);
        return fromTheme.isNull() ? QImage() : fromTheme.pixmap(QSize(size, size), devicePixelRatio).toImage();
    });
    QPixmap pixmap = !picture.isNull() ? QPixmap::fromImage(picture)
                                       : drawnFallback(symbolName).pixmap(QSize(size, size), devicePixelRatio);
    QPainter p(&pixmap);
    // Keep the glyph's shape (alpha) and replace its colour.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(pixmap.rect(), color);
    p.end();
    return pixmap;
}
}
