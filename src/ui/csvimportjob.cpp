#include "ui/csvimportjob.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"

#include <QFile>
#include <QThread>
#include <QTimer>

struct CsvImportJob::Parsed {
    QString error;
    CSVService::ParsedImport result;
};

CsvImportJob::CsvImportJob(ModelContext *context, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_parsed(std::make_shared<Parsed>())
{ }

CsvImportJob::~CsvImportJob()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void CsvImportJob::start(const QString &path, const QSet<QString> &existingTrackingNumbers)
{
    const std::shared_ptr<Parsed> parsed = m_parsed;
    // Reading and parsing touch no record, so they may leave the GUI thread.
    m_thread = QThread::create([parsed, path, existingTrackingNumbers] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            parsed->error = file.errorString();
            return;
        }
        auto text = CSVService::decodeUtf8(file.readAll());
        if (!text) {
            parsed->error = text.error();
            return;
        }
        auto result = CSVService::parseImport(text.value(), existingTrackingNumbers);
        if (!result) {
            parsed->error = result.error().errorDescription();
            return;
        }
        parsed->result = std::move(result).value();
    });
    connect(m_thread, &QThread::finished, this, &CsvImportJob::onParsed);
    m_thread->start();
}

void CsvImportJob::onParsed()
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
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
    // batch's for a few dozen milliseconds. A failure is not reported; the packages stay
    // inserted and the next save writes them.
    (void)PackageStore::save(*m_context);
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
