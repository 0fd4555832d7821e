#pragma once

#include "services/csvservice.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <memory>

class ModelContext;

/**
 * A CSV import that keeps the window responsive: the file is read and parsed on the thread
 * pool, then the packages are inserted into the context on the GUI thread in batches, one
 * batch per event-loop turn, each batch saved. Deletes itself after finished().
 */
class CsvImportJob : public QObject
{
    Q_OBJECT
public:
    /** Packages inserted per event-loop turn. */
    static constexpr qsizetype batchSize = 2000;

    explicit CsvImportJob(ModelContext *context, QObject *parent = nullptr);
    ~CsvImportJob() override;

    /** Starts importing the file; the numbers in existingTrackingNumbers are skipped. */
    void start(const QString &path, const QSet<QString> &existingTrackingNumbers);

Q_SIGNALS:
    /** The rows to insert are known (total) and done of them are inserted. */
    void progress(qsizetype done, qsizetype total);
    /**
     * The import ended. error is empty on success; otherwise it says why nothing was imported
     * (the file could not be read, or the CSV error's description).
     */
    void finished(qsizetype imported, qsizetype skipped, const QString &error);

private:
    struct Parsed;
    void onParsed();
    void insertNextBatch();
    void finish(const QString &error);

    QPointer<ModelContext> m_context;
    std::shared_ptr<Parsed> m_parsed;
    qsizetype m_next = 0;
    qsizetype m_inserted = 0;
};
