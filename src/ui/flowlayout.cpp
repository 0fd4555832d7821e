#include "ui/flowlayout.h"

#include <QWidget>

#include <algorithm>
#include <limits>

FlowLayout::FlowLayout(int spacing, QWidget *parent)
    : QLayout(parent)
{
    setSpacing(spacing);
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem *item)
{
    m_items.append(item);
}

QLayoutItem *FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), true).height();
}

QSize FlowLayout::sizeHint() const
{
    // Without a proposed width everything fits on one line.
    return arrange(QRect(0, 0, std::numeric_limits<int>::max() / 2, 0), true);
}

QSize FlowLayout::minimumSize() const
{
    QSize widest;
    for (const QLayoutItem *item : m_items)
        widest = widest.expandedTo(item->minimumSize());
    const QMargins margins = contentsMargins();
    return widest + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void FlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, false);
}

QSize FlowLayout::arrange(const QRect &rect, bool dryRun) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = spacing();
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    int widest = 0;
    bool lineEmpty = true;
    for (QLayoutItem *item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        if (!lineEmpty && x + size.width() > area.x() + area.width()) {
            x = area.x();
            y += lineHeight + gap;
            lineHeight = 0;
            lineEmpty = true;
        }
        if (!dryRun)
            item->setGeometry(QRect(QPoint(x, y), size));
        widest = std::max(widest, x + size.width() - area.x());
        x += size.width() + gap;
        lineHeight = std::max(lineHeight, size.height());
        lineEmpty = false;
    }
    const QMargins margins = contentsMargins();
    return {widest + margins.left() + margins.right(), y + lineHeight - area.y() + margins.top() + margins.bottom()};
}
