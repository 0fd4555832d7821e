#pragma once

#include <QList>
#include <QString>

/** The eleven check intervals users choose from, in the settings and for one package, shortest first. */
namespace RefreshIntervalChoices
{
struct Choice {
    QString label; // "15 minutes"
    int seconds = 0;
};

/** 1, 5, 15 and 30 minutes, 1, 2, 6 and 12 hours, 1 and 3 days, 1 week. */
[[nodiscard]] QList<Choice> all();
}
