#pragma once

#include "base/result.h"
#include "model/trackingstatus.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

class ModelContext;
class Package;
class QIODevice;

/**
 * Conversion between the stored packages and comma-separated text. Export writes a fixed
 * nine-column header; import needs only a tracking-number column. The service touches no
 * file: callers read and write the text (as UTF-8).
 */
namespace CSVService
{
/** The header line of every export. */
inline const QString exportHeader
    = QStringLiteral("trackingNumber,carrier,label,status,dateAdded,estimatedDelivery,notes,groups,colorTag");

/** Why an import was refused as a whole. */
struct CSVError {
    enum class Kind {
        missingRequiredColumn,
        emptyFile,
    };
    Kind kind = Kind::emptyFile;
    /** The column that is missing (missingRequiredColumn only). */
    QString columnName;

    [[nodiscard]] static CSVError missingRequiredColumn(const QString &name);
    [[nodiscard]] static CSVError emptyFile();
    /** The text shown to the user. */
    [[nodiscard]] QString errorDescription() const;
};

/** What an import created (in file order) and how many rows it passed over. */
struct ImportResult {
    QList<Package *> imported;
    int skippedCount = 0;
};

/** One accepted row as plain values, ready to become a package. */
struct ImportRow {
    QString trackingNumber;
    QString carrierCode;
    QString label;
    QString notes;
    TrackingStatus status = TrackingStatus::pending;
    std::optional<QDateTime> estimatedDelivery;
    std::optional<QString> colorTag;
};

/** The rows of a CSV text that will become packages, and the count of rows skipped. */
struct ParsedImport {
    QList<ImportRow> rows;
    int skippedCount = 0;
};

/**
 * Turns the non-blank lines of a CSV text into import rows, one line at a time, so that a big
 * file can be read piece by piece: the first line is the header.
 */
class ImportParser
{
public:
    /** Numbers in existing, and rows without a number, are skipped and counted. */
    explicit ImportParser(const QSet<QString> &existingTrackingNumbers);

    /** The row a line makes, or nothing for the header and skipped rows; fails when the header lacks the number. */
    [[nodiscard]] Result<std::optional<ImportRow>, CSVError> addLine(QStringView line);
    /** After the last line: emptyFile when fewer than two lines came. */
    [[nodiscard]] Result<void, CSVError> finish() const;
    [[nodiscard]] int skippedCount() const { return m_skippedCount; }

private:
    const QSet<QString> &m_existing;
    QHash<QString, qsizetype> m_columns;
    qsizetype m_numberColumn = -1;
    qsizetype m_lineCount = 0;
    int m_skippedCount = 0;
};

/** The non-blank lines of UTF-8 CSV text read from a device, one at a time, split as importCSV() splits. */
class CSVLineReader
{
public:
    /** Longer lines are refused: a binary file or /dev/zero must not fill the memory. */
    static constexpr qsizetype maximumLineLength = 1024 * 1024;

    explicit CSVLineReader(QIODevice &device);
    /** The next non-blank line, or nothing at the end; fails for bytes that are not UTF-8, a line over the limit or a
     * read error. */
    [[nodiscard]] Result<std::optional<QString>, QString> next();

private:
    /** Reads and decodes the next piece of the device; false at its end. */
    Result<bool, QString> readMore();

    QIODevice &m_device;
    QStringDecoder m_decoder {QStringDecoder::Utf8};
    QByteArray m_incomplete; // the start of a UTF-8 sequence that the next read completes
    QString m_text;
    qsizetype m_position = 0; // where the unread part of m_text begins
    bool m_ended = false;
};

/**
 * Reads CSV text from a device a line at a time, never whole, and hands each new row to take
 * (whose error ends the reading). Returns the count of skipped rows, or the text for the user:
 * a CSVError's description, a read or UTF-8 error, or take's own.
 */
[[nodiscard]] Result<int, QString> readImportRows(QIODevice &device, const QSet<QString> &existingTrackingNumbers,
                                                  const std::function<Result<void, QString>(const ImportRow &)> &take);

/** parseImport() of what a device holds, read as readImportRows() reads it. */
[[nodiscard]] Result<ParsedImport, QString> parseImport(QIODevice &device,
                                                        const QSet<QString> &existingTrackingNumbers);

/** The CSV text for these packages, in the order given: header, one line per package, no final line break. */
[[nodiscard]] QString exportPackages(const QList<Package *> &packages);

/**
 * Creates a package for every row with a new tracking number, inserts them into the context and
 * saves it once (a failed save is ignored: the packages stay inserted). Numbers already in
 * existingTrackingNumbers, and rows without a number, are skipped and counted.
 */
[[nodiscard]] Result<ImportResult, CSVError>
importCSV(const QString &text, const QSet<QString> &existingTrackingNumbers, ModelContext *context);

/**
 * The reading half of importCSV(): validates the text and turns its rows into ImportRow values.
 * Touches no record, so it may run on a worker thread for large files.
 */
[[nodiscard]] Result<ParsedImport, CSVError> parseImport(const QString &text,
                                                         const QSet<QString> &existingTrackingNumbers);

/** A new, uninserted package holding the row's values. */
[[nodiscard]] Package *makePackage(const ImportRow &row);

/** "N package(s) imported, M skipped (duplicate or invalid)." */
[[nodiscard]] QString resultMessage(qsizetype importedCount, qsizetype skippedCount);

/** Internet date-time in UTC without fractional seconds: "2026-03-05T14:07:00Z". */
[[nodiscard]] QString formatISODate(const QDateTime &date);
/** Parses the internet date-time form (with "Z" or a numeric offset, no fractional seconds). */
[[nodiscard]] std::optional<QDateTime> parseISODate(QStringView text);

/** One CSV line split into its fields, quotes resolved. Exposed for tests. */
[[nodiscard]] QStringList parseCSVLine(QStringView line);
/** A field as written to a CSV line: quoted when it holds a comma, a double quote or a line feed. */
[[nodiscard]] QString escapeField(const QString &field);
}
