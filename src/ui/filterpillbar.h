#pragma once

#include "model/packagelistrule.h"

#include <QHash>
#include <QWidget>

class CapsuleButton;
class ChipStrip;

/** The row of status filter pills ("All", "Transit", "Delivered", "Issues", "Archived"). */
class FilterPillBar : public QWidget
{
    Q_OBJECT
public:
    explicit FilterPillBar(QWidget *parent = nullptr);

    [[nodiscard]] PackageFilter selectedFilter() const { return m_selected; }
    /** Highlights a pill without emitting filterChosen(). */
    void setSelectedFilter(PackageFilter filter);
    /** The pill of a filter (object name "filterPill-" + raw value). */
    [[nodiscard]] CapsuleButton *pill(PackageFilter filter) const { return m_pills.value(filter); }

Q_SIGNALS:
    /** The user chose a pill (also when it was highlighted already). */
    void filterChosen(PackageFilter filter);

protected:
    void changeEvent(QEvent *event) override;

private:
    void applyColors();

    ChipStrip *m_strip;
    QHash<PackageFilter, CapsuleButton *> m_pills;
    PackageFilter m_selected = PackageFilter::all;
};
