#include "model/picturefiles.h"

#include "model/package.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUuid>

PictureFiles::PictureFiles(QString directory)
    : m_directory(std::move(directory))
{ }

QString PictureFiles::path(const QString &fileName) const
{
    return m_directory + QLatin1Char('/') + fileName;
}

Result<void, ModelError> PictureFiles::stage(const QList<Package *> &packages, const QString &failed)
{
    using R = Result<void, ModelError>;
    for (Package *package : packages) {
        const std::optional<QByteArray> data = package->customImageData();
        std::optional<QString> file;
        if (!data && !package->m_imageFile)
            continue; // a new package without a picture
        if (data) {
            if (!QDir().mkpath(m_directory)) {
                rollBack();
                return R::failure({ModelError::Code::externalDataFailed,
                                   failed + QStringLiteral(" The folder for pictures could not be created."),
                                   m_directory});
            }
            file = QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".data");
            QSaveFile saveFile(path(*file));
            if (!saveFile.open(QIODevice::WriteOnly) || saveFile.write(*data) != data->size() || !saveFile.commit()) {
                const QString reason = saveFile.errorString();
                rollBack();
                return R::failure({ModelError::Code::externalDataFailed,
                                   failed + QStringLiteral(" A picture could not be written: %1.").arg(reason),
                                   path(*file)});
            }
            m_written.append(path(*file));
        }
        m_staged.append({package, package->m_imageFile});
        package->m_imageFile = file;
    }
    return {};
}

void PictureFiles::rollBack()
{
    for (const QString &file : std::as_const(m_written))
        QFile::remove(file);
    for (const Staged &staged : std::as_const(m_staged))
        staged.package->m_imageFile = staged.previousFile;
    m_written.clear();
    m_staged.clear();
}

void PictureFiles::commit(const QList<Package *> &deletedPackages)
{
    for (const Staged &staged : std::as_const(m_staged)) {
        if (staged.previousFile && staged.previousFile != staged.package->m_imageFile)
            QFile::remove(path(*staged.previousFile));
    }
    for (const Package *package : deletedPackages) {
        if (package->m_imageFile)
            QFile::remove(path(*package->m_imageFile));
    }
    m_written.clear();
    m_staged.clear();
}
