#include "ui/csvimportjob.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "ui/savereporter.h"

#include <QFile>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

struct CsvImportJob::Parsed {
    QString error;
    CSVService::ParsedImport result;
};

CsvImportJob::CsvImportJob(ModelContext *context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_parsed(std::make_shared<Parsed>())
{ }

CsvImportJob::~CsvImportJob() = default;

void CsvImportJob::start(const QString &path, const QSet<QString> &existingTrackingNumbers)
{
    // Reading and parsing touch no record, so they may leave the GUI thread.
    QtConcurrent::run([path, existingTrackingNumbers] {
        Parsed parsed;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            parsed.error = file.errorString();
            return parsed;
        }
        // A line at a time: the text is never in memory whole, and /dev/zero ends with an error.
        auto result = CSVService::parseImport(file, existingTrackingNumbers);
        if (!result)
            parsed.error = result.error();
        else
            parsed.result = std::move(result).value();
        return parsed;
    }).then(this, [this](Parsed parsed) {
        *m_parsed = std::move(parsed);
        onParsed();
    });
}

void CsvImportJob::onParsed()
{
    if (!m_parsed->error.isEmpty()) {
        finish(m_parsed->error);
        return;
    }
    Q_EMIT progress(0, m_parsed->result.rows.size());
    insertNextBatch();
}

void CsvImportJob::insertNextBatch()
{
    if (!m_context) {
        finish(tr("The store was closed during the import."));
        return;
    }
    const QList<CSVService::ImportRow> &rows = m_parsed->result.rows;
    const qsizetype end = qMin(rows.size(), m_next + batchSize);
    for (; m_next < end; ++m_next) {
        m_context->insert(CSVService::makePackage(rows.at(m_next)));
        ++m_inserted;
    }
    // Saved batch by batch: one transaction for 100,000 rows holds the window for seconds, a
    // batch's for a few dozen milliseconds. On a failure the packages stay inserted and the
    // next save writes them.
    SaveReporter::save(*m_context);
    Q_EMIT progress(m_next, rows.size());
    if (m_next < rows.size()) {
        // Let the window paint and take input before the next batch.
        QTimer::singleShot(0, this, &CsvImportJob::insertNextBatch);
        return;
    }
    finish({});
}

void CsvImportJob::finish(const QString &error)
{
    Q_EMIT finished(error.isEmpty() ? m_inserted : 0, error.isEmpty() ? m_parsed->result.skippedCount : 0, error);
    deleteLater();
}
