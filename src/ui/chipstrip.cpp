#include "ui/chipstrip.h"

#include "ui/uistyle.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace
{
/**
 * A gradient from the background to transparent with a chevron at the edge: tells that the row
 * goes on beyond the edge, and a click scrolls the hidden chips into view.
 */
class EdgeScroller : public QAbstractButton
{
public:
    EdgeScroller(QWidget *parent, bool leftEdge)
        : QAbstractButton(parent)
        , m_leftEdge(leftEdge)
    {
        setFixedWidth(28);
        setCursor(Qt::PointingHandCursor);
        // Keyboard users reach every chip with Tab; the strip scrolls to the focused one.
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(leftEdge ? ChipStrip::tr("Scroll left") : ChipStrip::tr("Scroll right"));
        setToolTip(accessibleName());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QColor solid = palette().color(QPalette::Window);
        QColor clear = solid;
        clear.setAlpha(0);
        QLinearGradient gradient(0, 0, width(), 0);
        gradient.setColorAt(m_leftEdge ? 0.0 : 1.0, solid);
        gradient.setColorAt(0.5, solid);
        gradient.setColorAt(m_leftEdge ? 1.0 : 0.0, clear);
        p.fillRect(rect(), gradient);
        const int edge = 12;
        const QRect mark(m_leftEdge ? 2 : width() - edge - 2, (height() - edge) / 2, edge, edge);
        const QColor color = underMouse() ? UiStyle::primary(palette()) : UiStyle::secondary(palette());
        p.drawPixmap(mark,
                     UiStyle::symbol(m_leftEdge ? QStringLiteral("chevron.left") : QStringLiteral("chevron.right"),
                                     edge, color, devicePixelRatioF()));
    }

    void enterEvent(QEnterEvent *) override { update(); }
    void leaveEvent(QEvent *) override { update(); }

private:
    bool m_leftEdge;
};
}

ChipStrip::ChipStrip(QWidget *parent)
    : QScrollArea(parent)
    , m_row(new QWidget)
    , m_layout(new QHBoxLayout(m_row))
    , m_leftFade(new EdgeScroller(this, true))
    , m_rightFade(new EdgeScroller(this, false))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    m_row->setAutoFillBackground(false);
    m_layout->setContentsMargins(8, 2, 8, 2);
    m_layout->setSpacing(6);
    m_layout->addStretch();
    setWidget(m_row);
    // A scroll area does not pass its widget's size changes on: chips added while the strip is
    // shown appear a turn of the event loop later, and the strip must grow to them then.
    m_row->installEventFilter(this);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &ChipStrip::updateFades);
    // A click on an edge moves most of a width, so that the chip cut by the edge comes fully into view.
    const auto page = [this](int direction) {
        QScrollBar *bar = horizontalScrollBar();
        bar->setValue(bar->value() + direction * viewport()->width() * 3 / 4);
    };
    connect(m_leftFade, &QAbstractButton::clicked, this, [page] { page(-1); });
    connect(m_rightFade, &QAbstractButton::clicked, this, [page] { page(1); });
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, &ChipStrip::updateFades);
    updateFades();
}

void ChipStrip::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    updateFades();
}

void ChipStrip::updateFades()
{
    const QScrollBar *bar = horizontalScrollBar();
    m_leftFade->setGeometry(0, 0, m_leftFade->width(), height());
    m_rightFade->setGeometry(width() - m_rightFade->width(), 0, m_rightFade->width(), height());
    m_leftFade->setVisible(bar->value() > bar->minimum());
    m_rightFade->setVisible(bar->value() < bar->maximum());
    m_leftFade->raise();
    m_rightFade->raise();
}

void ChipStrip::addWidget(QWidget *widget)
{
    m_layout->insertWidget(m_layout->count() - 1, widget);
    widget->installEventFilter(this);
    updateGeometry();
}

void ChipStrip::clear()
{
    while (m_layout->count() > 1) {
        QLayoutItem *item = m_layout->takeAt(0);
        delete item->widget();
        delete item;
    }
    updateGeometry();
}

QSize ChipStrip::sizeHint() const
{
    return {m_row->sizeHint().width(), m_row->sizeHint().height()};
}

QSize ChipStrip::minimumSizeHint() const
{
    return {40, m_row->sizeHint().height()};
}

void ChipStrip::wheelEvent(QWheelEvent *event)
{
    // A mouse wheel only turns vertically; here that moves the row sideways.
    const QPoint delta = event->angleDelta();
    const int step = delta.x() != 0 ? delta.x() : delta.y();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 2);
    event->accept();
}

bool ChipStrip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_row && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    if (event->type() == QEvent::FocusIn) {
        if (auto *widget = qobject_cast<QWidget *>(watched))
            ensureWidgetVisible(widget, 8, 0);
    }
    return QScrollArea::eventFilter(watched, event);
}
