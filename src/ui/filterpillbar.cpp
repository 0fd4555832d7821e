#include "ui/filterpillbar.h"

#include "ui/capsulebutton.h"
#include "ui/chipstrip.h"
#include "ui/uistyle.h"

#include <QEvent>
#include <QVBoxLayout>

FilterPillBar::FilterPillBar(QWidget *parent)
    : QWidget(parent)
    , m_strip(new ChipStrip(this))
{
    setObjectName(QStringLiteral("filterPills"));
    for (const PackageFilter filter : PackageFilters::allCases()) {
        auto *pill = new CapsuleButton(m_strip);
        pill->setObjectName(QStringLiteral("filterPill-") + PackageFilters::rawValue(filter));
        pill->setText(PackageFilters::label(filter));
        pill->setSymbol(PackageFilters::iconName(filter));
        pill->setPadding(10, 5);
        pill->setAccessibleName(PackageFilters::label(filter));
        connect(pill, &CapsuleButton::clicked, this, [this, filter] {
            setSelectedFilter(filter);
            Q_EMIT filterChosen(filter);
        });
        m_pills.insert(filter, pill);
        m_strip->addWidget(pill);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 6);
    layout->addWidget(m_strip);
    applyColors();
    setSelectedFilter(PackageFilter::all);
}

void FilterPillBar::setSelectedFilter(PackageFilter filter)
{
    m_selected = filter;
    for (auto it = m_pills.cbegin(); it != m_pills.cend(); ++it)
        it.value()->setChecked(it.key() == filter);
}

void FilterPillBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

void FilterPillBar::applyColors()
{
    const QPalette pal = palette();
    for (CapsuleButton *pill : std::as_const(m_pills))
        pill->setColors(UiStyle::accent(pal), UiStyle::onAccent(pal), UiStyle::withAlpha(UiStyle::secondary(pal), 0.12),
                        UiStyle::primary(pal));
}
