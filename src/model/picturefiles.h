#pragma once

#include "model/modelcontext.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

/**
 * The pictures of one save. Picture bytes live in files in the folder beside the store (external
 * storage) and a package's row names its file. New bytes go to a new file before the transaction,
 * so that a committed row only ever names a file that exists; the file a committed row no longer
 * names is removed after the commit, and a failed save removes the files it wrote.
 */
class PictureFiles
{
public:
    explicit PictureFiles(QString directory);

    /**
     * Writes the pictures of these packages (inserted ones with a picture, changed ones whose
     * picture changed) and points their rows at the new files. failed starts the error text.
     */
    Result<void, ModelError> stage(const QList<Package *> &packages, const QString &failed);
    /** The transaction failed: the new files go, the packages name their previous files again. */
    void rollBack();
    /** The transaction committed: replaced files and those of deleted packages go. */
    void commit(const QList<Package *> &deletedPackages);

private:
    struct Staged {
        Package *package;
        std::optional<QString> previousFile;
    };

    [[nodiscard]] QString path(const QString &fileName) const;

    QString m_directory;
    QList<Staged> m_staged;
    QStringList m_written;
};
