#pragma once

#include <QList>
#include <QString>

#include <utility>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;
class QWidget;

/** The building blocks of the settings tabs: titled sections, captions and the interval pickers. */
namespace SettingsForm
{
/** One choice of an interval picker: its label and its length in seconds. */
using IntervalChoice = std::pair<QString, int>;

/** A page that scrolls when the window is smaller than its content; add sections to layout(). */
[[nodiscard]] QScrollArea *page(const QString &objectName, QVBoxLayout *&layout, QWidget *parent);
/** A titled group whose contents go into the returned layout. */
[[nodiscard]] QVBoxLayout *section(const QString &title, QVBoxLayout *pageLayout, QGroupBox **box = nullptr);
/** Explanatory text under a control: caption size, secondary colour, wrapped. */
[[nodiscard]] QLabel *caption(const QString &text, QWidget *parent);
/** A flat button that looks like a link and opens nothing by itself. */
[[nodiscard]] QPushButton *linkButton(const QString &text, QWidget *parent);

/** The refresh-interval choices, one minute to one week. */
[[nodiscard]] QList<IntervalChoice> refreshIntervalChoices();
/** The auto-delete choices, one minute to 24 hours. */
[[nodiscard]] QList<IntervalChoice> autoDeleteChoices();
/** Fills a picker with choices (seconds as item data). */
void fillIntervalPicker(QComboBox *picker, const QList<IntervalChoice> &choices);
/**
 * Selects the choice of these seconds; a value that is none of them (set from the command line)
 * is shown as one more item in the short interval form, so the picker never claims another value.
 */
void selectInterval(QComboBox *picker, double seconds);
}
