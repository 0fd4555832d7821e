#include "ui/chipstrip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QWheelEvent>

ChipStrip::ChipStrip(QWidget *parent)
    : QScrollArea(parent)
    , m_row(new QWidget)
    , m_layout(new QHBoxLayout(m_row))
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
    if (event->type() == QEvent::FocusIn) {
        if (auto *widget = qobject_cast<QWidget *>(watched))
            ensureWidgetVisible(widget, 8, 0);
    }
    return QScrollArea::eventFilter(watched, event);
}
