#include "ui/settingsform.h"

#include "ui/formatinterval.h"
#include "ui/uistyle.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace SettingsForm
{
namespace
{
// Items past the fixed choices stand for a stored value that is none of them.
constexpr int customRole = Qt::UserRole + 1;

/** The translation context of the choices' labels. */
class Text
{
    Q_DECLARE_TR_FUNCTIONS(SettingsForm)
};
}

QScrollArea *page(const QString &objectName, QVBoxLayout *&layout, QWidget *parent)
{
    auto *scroll = new QScrollArea(parent);
    scroll->setObjectName(objectName);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scroll);
    layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(14);
    scroll->setWidget(content);
    // Tab goes from field to field (the page scrolls to each); the page itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    return scroll;
}

QVBoxLayout *section(const QString &title, QVBoxLayout *pageLayout, QGroupBox **box)
{
    auto *group = new QGroupBox(title, pageLayout->parentWidget());
    auto *layout = new QVBoxLayout(group);
    layout->setSpacing(6);
    pageLayout->addWidget(group);
    if (box)
        *box = group;
    return layout;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setFont(UiStyle::font(UiStyle::TextStyle::caption, label->font()));
    UiStyle::makeSecondary(label);
    return label;
}

QPushButton *linkButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    button->setPalette(palette);
    return button;
}

QList<IntervalChoice> refreshIntervalChoices()
{
    return {{Text::tr("1 minute"), 60},     {Text::tr("5 minutes"), 300},  {Text::tr("15 minutes"), 900},
            {Text::tr("30 minutes"), 1800}, {Text::tr("1 hour"), 3600},    {Text::tr("2 hours"), 7200},
            {Text::tr("6 hours"), 21600},   {Text::tr("12 hours"), 43200}, {Text::tr("1 day"), 86400},
            {Text::tr("3 days"), 259200},   {Text::tr("1 week"), 604800}};
}

QList<IntervalChoice> autoDeleteChoices()
{
    return {{Text::tr("1 minute"), 60},     {Text::tr("5 minutes"), 300},  {Text::tr("15 minutes"), 900},
            {Text::tr("30 minutes"), 1800}, {Text::tr("1 hour"), 3600},    {Text::tr("2 hours"), 7200},
            {Text::tr("6 hours"), 21600},   {Text::tr("12 hours"), 43200}, {Text::tr("24 hours"), 86400}};
}

void fillIntervalPicker(QComboBox *picker, const QList<IntervalChoice> &choices)
{
    for (const auto &[label, seconds] : choices)
        picker->addItem(label, seconds);
}

void selectInterval(QComboBox *picker, double seconds)
{
    for (int i = picker->count() - 1; i >= 0; --i) {
        if (picker->itemData(i, customRole).toBool())
            picker->removeItem(i);
    }
    const int index = picker->findData(int(std::llround(seconds)));
    if (index >= 0 && double(picker->itemData(index).toInt()) == seconds) {
        picker->setCurrentIndex(index);
        return;
    }
    // Clamped: the text of an absurd stored value must not overflow.
    picker->addItem(formatInterval(qint64(std::clamp(seconds, -1e15, 1e15))), seconds);
    picker->setItemData(picker->count() - 1, true, customRole);
    picker->setCurrentIndex(picker->count() - 1);
}
}
