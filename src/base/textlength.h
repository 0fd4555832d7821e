#pragma once

#include <QString>
#include <QTextBoundaryFinder>

/** Characters as a reader counts them (grapheme clusters): a letter with its combining marks is one. */
[[nodiscard]] inline qsizetype userPerceivedLength(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() >= 0)
        ++count;
    return count;
}
