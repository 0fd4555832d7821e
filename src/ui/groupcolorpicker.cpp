#include "ui/groupcolorpicker.h"

#include "model/packagegroup.h"
#include "ui/hexcolor.h"
#include "ui/uistyle.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPen>

namespace
{
/** One swatch; painted by hand so the circle keeps its exact size in any style. */
class Swatch final : public QToolButton
{
public:
    /** margin: room around the circle on every side, for the ring. */
    Swatch(const QString &hex, int diameter, int margin, QWidget *parent)
        : QToolButton(parent)
        , m_hex(hex)
        , m_diameter(diameter)
        , m_margin(margin)
    {
        setFixedSize(diameter + 2 * margin, diameter + 2 * margin);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    void setMarked(bool marked, GroupColorPicker::Marker marker)
    {
        m_marked = marked;
        m_marker = marker;
        setAccessibleDescription(marked ? QCoreApplication::translate("GroupColorPicker", "selected") : QString());
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor color = HexColor::colorOr(m_hex, UiStyle::named(StatusColor::gray, palette()));
        const QRectF circle(m_margin, m_margin, m_diameter, m_diameter);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(circle);
        if (m_marked && m_marker == GroupColorPicker::Marker::ring) {
            p.setBrush(Qt::NoBrush);
            // The ring's outer edge touches the button's edge.
            const qreal offset = m_margin - 0.75;
            p.setPen(QPen(UiStyle::primary(palette()), 1.5));
            p.drawEllipse(circle.adjusted(-offset, -offset, offset, offset));
        } else if (m_marked) {
            const qreal d = m_diameter;
            p.setPen(QPen(Qt::white, d * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({circle.topLeft() + QPointF(d * 0.3, d * 0.52),
                                      circle.topLeft() + QPointF(d * 0.45, d * 0.67),
                                      circle.topLeft() + QPointF(d * 0.72, d * 0.36)}));
        }
        if (hasFocus()) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(UiStyle::accent(palette()), 1, Qt::DotLine));
            p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }

private:
    QString m_hex;
    int m_diameter;
    int m_margin;
    bool m_marked = false;
    GroupColorPicker::Marker m_marker = GroupColorPicker::Marker::ring;
};
}

GroupColorPicker::GroupColorPicker(bool compact, QWidget *parent)
    : QWidget(parent)
    , m_compact(compact)
{
    const int diameter = compact ? 16 : 20;
    const int spacing = compact ? 6 : 4;
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Each swatch keeps half the spacing around its circle as room for the ring.
    layout->setSpacing(0);
    for (const PackageGroup::PaletteColor &preset : PackageGroup::colorPalette()) {
        auto *swatch = new Swatch(preset.hex, diameter, spacing / 2, this);
        swatch->setObjectName(QStringLiteral("colorSwatch-") + preset.name);
        swatch->setToolTip(preset.name);
        swatch->setAccessibleName(preset.name);
        swatch->setProperty("hex", preset.hex);
        const QString hex = preset.hex;
        connect(swatch, &QToolButton::clicked, this, [this, hex] {
            setSelectedHex(hex);
            Q_EMIT colorChosen(hex);
        });
        m_swatches.append(swatch);
        layout->addWidget(swatch);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void GroupColorPicker::setSelectedHex(const QString &hex)
{
    m_selectedHex = hex;
    for (QToolButton *swatch : std::as_const(m_swatches))
        static_cast<Swatch *>(swatch)->setMarked(swatch->property("hex").toString() == hex, m_marker);
}

void GroupColorPicker::setMarker(Marker marker)
{
    m_marker = marker;
    setSelectedHex(m_selectedHex);
}
