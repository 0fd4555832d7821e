#include "ui/filepanels.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace FilePanels
{
namespace
{
// The documents folder when there is one: a folder that does not exist would make the dialog put
// its name into the file name field.
QString saveFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

OpenHandler &openHandler()
{
    static OpenHandler handler;
    return handler;
}

SaveHandler &saveHandler()
{
    static SaveHandler handler;
    return handler;
}
}

QString openFile(QWidget *parent, const QString &caption, const QString &filter)
{
    if (openHandler())
        return openHandler()(parent, caption, filter);
    return QFileDialog::getOpenFileName(parent, caption, QDir::homePath(), filter);
}

QString saveFile(QWidget *parent, const QString &caption, const QString &suggestedName, const QString &filter)
{
    if (saveHandler())
        return saveHandler()(parent, caption, suggestedName, filter);
    QFileDialog dialog(parent, caption, saveFolder(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void setOpenHandler(OpenHandler handler)
{
    openHandler() = std::move(handler);
}

void setSaveHandler(SaveHandler handler)
{
    saveHandler() = std::move(handler);
}
}
