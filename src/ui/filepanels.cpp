#include "ui/filepanels.h"

#include <QFileDialog>
#include <QStandardPaths>

namespace FilePanels
{
namespace
{
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
    return QFileDialog::getOpenFileName(parent, caption,
                                        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), filter);
}

QString saveFile(QWidget *parent, const QString &caption, const QString &suggestedName, const QString &filter)
{
    if (saveHandler())
        return saveHandler()(parent, caption, suggestedName, filter);
    QFileDialog dialog(parent, caption, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), filter);
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
