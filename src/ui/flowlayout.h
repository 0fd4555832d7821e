#pragma once

#include <QLayout>
#include <QList>

/**
 * Lays its widgets out left to right at their preferred sizes, spacing() apart, and starts a new
 * line when the next one would end beyond the available width (unless it is the first of its
 * line, which then overflows). Lines are spacing() apart below the tallest widget of the line.
 */
class FlowLayout : public QLayout
{
public:
    explicit FlowLayout(int spacing, QWidget *parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem *item) override;
    [[nodiscard]] int count() const override { return int(m_items.size()); }
    [[nodiscard]] QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    [[nodiscard]] QLayoutItem *takeAt(int index) override;

    [[nodiscard]] Qt::Orientations expandingDirections() const override { return {}; }
    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override;
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

    /** The size the items take within width (the widest line by the total height); lays them out unless dryRun. */
    QSize arrange(const QRect &rect, bool dryRun) const;

private:
    QList<QLayoutItem *> m_items;
};
