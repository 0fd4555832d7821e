#pragma once

#include <QScrollArea>

class QAbstractButton;
class QHBoxLayout;

/**
 * A row of small buttons that scrolls sideways when it is wider than its place: the wheel
 * scrolls it, a click on a faded edge pages it, and a button that takes the keyboard focus is
 * scrolled into view.
 */
class ChipStrip : public QScrollArea
{
    Q_OBJECT
public:
    explicit ChipStrip(QWidget *parent = nullptr);

    /** Appends a widget to the row. */
    void addWidget(QWidget *widget);
    /** Removes and deletes every widget of the row. */
    void clear();

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateFades();

    QWidget *m_row;
    QHBoxLayout *m_layout;
    QAbstractButton *m_leftFade;
    QAbstractButton *m_rightFade;
};
