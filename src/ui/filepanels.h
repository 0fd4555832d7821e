#pragma once

#include <QString>

#include <functional>

class QWidget;

/**
 * The file open and save panels, behind a seam: tests install handlers that answer without a
 * dialog. Both return the chosen path, or an empty string when the user cancelled.
 */
namespace FilePanels
{
/** Asks for one existing file. filter is a name filter such as "CSV files (*.csv)". */
[[nodiscard]] QString openFile(QWidget *parent, const QString &caption, const QString &filter);
/** Asks where to save, proposing suggestedName; the panel may create folders. */
[[nodiscard]] QString saveFile(QWidget *parent, const QString &caption, const QString &suggestedName,
                               const QString &filter);

using OpenHandler = std::function<QString(QWidget *parent, const QString &caption, const QString &filter)>;
using SaveHandler = std::function<QString(QWidget *parent, const QString &caption, const QString &suggestedName,
                                          const QString &filter)>;
/** Test seam: answers openFile() instead of the panel; an empty function restores the panel. */
void setOpenHandler(OpenHandler handler);
/** Test seam: answers saveFile() instead of the panel; an empty function restores the panel. */
void setSaveHandler(SaveHandler handler);
}
