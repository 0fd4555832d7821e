#pragma once

#include "model/package.h"

#include <QPointer>
#include <QWidget>

class CarrierIconView;
class Clock;
class DeliveryProgressView;
class QLabel;
class StatusBadgeView;

/**
 * A read-only summary of one package for the main window's detail side: carrier icon, title,
 * number, carrier, status, delivery progress, estimated delivery, last update and the latest
 * event. Follows the package's changes.
 */
class PackageSummaryView : public QWidget
{
    Q_OBJECT
public:
    /** Counts down to the estimated delivery by clock's time. */
    explicit PackageSummaryView(Clock *clock, QWidget *parent = nullptr);

    void setPackage(Package *package);
    [[nodiscard]] Package *package() const { return m_package; }

private:
    void refresh();

    Clock *m_clock;
    QPointer<Package> m_package;
    CarrierIconView *m_icon;
    QLabel *m_title;
    QLabel *m_number;
    QLabel *m_carrier;
    StatusBadgeView *m_badge;
    DeliveryProgressView *m_progress;
    QLabel *m_facts;
    QLabel *m_latest;
};
