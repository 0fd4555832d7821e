#include "ui/refreshintervalchoices.h"

#include <QCoreApplication>

namespace RefreshIntervalChoices
{
QList<Choice> all()
{
    static const struct {
        const char *label;
        int seconds;
    } table[] = {
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "1 minute"), 60},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "5 minutes"), 300},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "15 minutes"), 900},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "30 minutes"), 1800},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "1 hour"), 3600},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "2 hours"), 7200},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "6 hours"), 21600},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "12 hours"), 43200},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "1 day"), 86400},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "3 days"), 259200},
        {QT_TRANSLATE_NOOP("RefreshIntervalChoices", "1 week"), 604800},
    };
    QList<Choice> choices;
    for (const auto &row : table)
        choices.append({QCoreApplication::translate("RefreshIntervalChoices", row.label), row.seconds});
    return choices;
}
}
