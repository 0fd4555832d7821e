#pragma once

#include "model/trackingstatus.h"

#include <QWidget>

/**
 * The four delivery steps (Ordered, In Transit, Out for Delivery, Delivered) as circles joined
 * by lines for the on-track statuses; for the others a panel with the status icon, name and
 * explanation in the status's progress colour.
 */
class DeliveryProgressView : public QWidget
{
    Q_OBJECT
public:
    enum class StepState {
        completed,
        current,
        upcoming,
    };

    explicit DeliveryProgressView(TrackingStatus status = TrackingStatus::pending, QWidget *parent = nullptr);

    [[nodiscard]] TrackingStatus status() const { return m_status; }
    void setStatus(TrackingStatus status);

    /** The state of the step at position index for a status (on-track statuses only). */
    [[nodiscard]] static StepState stepState(int index, TrackingStatus status);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintLinear(QPainter &painter);
    void paintNonLinear(QPainter &painter);

    TrackingStatus m_status;
};

/** The compact form of the progress: one small dot per step, filled up to the status's step. */
class DeliveryProgressDotsView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int dotSize = 5;
    static constexpr int dotSpacing = 3;

    explicit DeliveryProgressDotsView(TrackingStatus status = TrackingStatus::pending, int totalSteps = 4,
                                      QWidget *parent = nullptr);

    void setStatus(TrackingStatus status);
    [[nodiscard]] QSize sizeHint() const override;

    /** The width of the dots; 0 for the statuses that show none. */
    [[nodiscard]] static int widthFor(TrackingStatus status, int totalSteps);
    /** Draws the dots, vertically centred on centreY, starting at left. */
    static void paint(QPainter &painter, int left, int centreY, TrackingStatus status, int totalSteps,
                      const QPalette &palette);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TrackingStatus m_status;
    int m_totalSteps;
};
