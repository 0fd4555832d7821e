#include "services/csvservice.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"

#include <QHash>
#include <QIODevice>
#include <QTimeZone>

#include <algorithm>

namespace CSVService
{
namespace
{
// The characters a text splits into lines at: LF, VT, FF, CR, NEL and the Unicode line and
// paragraph separators. A CR LF pair therefore leaves an empty piece, which blank-line
// dropping removes.
bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// Horizontal white space: tab and the space separators (U+0020, U+00A0, U+2000..U+200A, ...).
bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isBlankLine(QStringView piece)
{
    return std::all_of(piece.begin(), piece.end(), isBlank);
}

QList<QStringView> splitNonBlankLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    const auto take = [&](qsizetype end) {
        const QStringView piece = text.mid(start, end - start);
        if (!isBlankLine(piece))
            lines.append(piece);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLineBreak(text[i])) {
            take(i);
            start = i + 1;
        }
    }
    take(text.size());
    return lines;
}

// The field of a column, or nothing when the header lacks the column, the row is too short
// or the field is empty.
std::optional<QString> fieldOrNil(const QStringList &fields, const QHash<QString, qsizetype> &columns,
                                  const QString &name)
{
    const auto it = columns.constFind(name);
    if (it == columns.constEnd() || it.value() >= fields.size())
        return std::nullopt;
    const QString &field = fields.at(it.value());
    if (field.isEmpty())
        return std::nullopt;
    return field;
}

bool isDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
}

CSVError CSVError::missingRequiredColumn(const QString &name)
{
    return CSVError {Kind::missingRequiredColumn, name};
}

CSVError CSVError::emptyFile()
{
    return CSVError {Kind::emptyFile, {}};
}

QString CSVError::errorDescription() const
{
    switch (kind) {
    case Kind::missingRequiredColumn:
        return QStringLiteral("Required column '") + columnName + QStringLiteral("' not found in CSV headers.");
    case Kind::emptyFile:
        break;
    }
    return QStringLiteral("The CSV file is empty or contains only headers.");
}

QString formatISODate(const QDateTime &date)
{
    if (!date.isValid())
        return {};
    // Whole seconds in UTC, as the export format promises.
    const QDateTime utc = date.toUTC();
    return utc.addMSecs(-utc.time().msec()).toString(Qt::ISODate);
}

std::optional<QDateTime> parseISODate(QStringView text)
{
    // yyyy-MM-ddTHH:mm:ss followed by Z, ±HH:mm or ±HHmm; nothing else (no fractional seconds,
    // no date-only form), so that what the export writes is exactly what the import accepts.
    if (text.size() < 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':'
        || text[16] != u':')
        return std::nullopt;
    if (!isDigits(text.mid(0, 4)) || !isDigits(text.mid(5, 2)) || !isDigits(text.mid(8, 2))
        || !isDigits(text.mid(11, 2)) || !isDigits(text.mid(14, 2)) || !isDigits(text.mid(17, 2)))
        return std::nullopt;
    const QStringView zone = text.mid(19);
    int offsetSeconds = 0;
    if (zone == u"Z") {
        offsetSeconds = 0;
    } else if ((zone.size() == 6 && zone[3] == u':') || zone.size() == 5) {
        if (zone[0] != u'+' && zone[0] != u'-')
            return std::nullopt;
        const QStringView hours = zone.mid(1, 2);
        const QStringView minutes = zone.size() == 6 ? zone.mid(4, 2) : zone.mid(3, 2);
        if (!isDigits(hours) || !isDigits(minutes) || hours.toInt() > 23 || minutes.toInt() > 59)
            return std::nullopt;
        offsetSeconds = (hours.toInt() * 3600 + minutes.toInt() * 60) * (zone[0] == u'-' ? -1 : 1);
    } else {
        return std::nullopt;
    }
    const QDate date(text.mid(0, 4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
    const QTime time(text.mid(11, 2).toInt(), text.mid(14, 2).toInt(), text.mid(17, 2).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime result(date, time, QTimeZone(offsetSeconds));
    if (!result.isValid())
        return std::nullopt;
    return result.toUTC();
}

QString escapeField(const QString &field)
{
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\n'))
        return field;
    QString escaped = field;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QStringList parseCSVLine(QStringView line)
{
    QStringList fields;
    QString current;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != u'"') {
                current.append(c);
            } else if (i + 1 < line.size() && line[i + 1] == u'"') {
                current.append(u'"');
                ++i;
            } else {
                // The closing quote; the next character is read unquoted.
                quoted = false;
            }
        } else if (c == u'"') {
            // A quote opens a quoted stretch anywhere in a field, not only at its start.
            quoted = true;
        } else if (c == u',') {
            fields.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    fields.append(current);
    return fields;
}

QString exportPackages(const QList<Package *> &packages)
{
    QStringList lines;
    lines.reserve(packages.size() + 1);
    lines.append(exportHeader);
    for (const Package *package : packages) {
        QStringList groupNames;
        for (const PackageGroup *group : package->groups())
            groupNames.append(group->name());
        const std::optional<QDateTime> estimated = package->estimatedDelivery();
        const QStringList fields = {
            package->trackingNumber(),
            package->carrierCode(),
            package->label(),
            TrackingStatuses::rawValue(package->status()),
            formatISODate(package->dateAdded()),
            estimated ? formatISODate(*estimated) : QString(),
            package->notes(),
            groupNames.join(u';'),
            package->colorTag().value_or(QString()),
        };
        QStringList escaped;
        escaped.reserve(fields.size());
        for (const QString &field : fields)
            escaped.append(escapeField(field));
        lines.append(escaped.join(u','));
    }
    return lines.join(u'\n');
}

ImportParser::ImportParser(const QSet<QString> &existingTrackingNumbers)
    : m_existing(existingTrackingNumbers)
{ }

Result<std::optional<ImportRow>, CSVError> ImportParser::addLine(QStringView line)
{
    using R = Result<std::optional<ImportRow>, CSVError>;
    static const QString numberKey = QStringLiteral("trackingnumber");
    static const QString carrierKey = QStringLiteral("carrier");
    static const QString labelKey = QStringLiteral("label");
    static const QString notesKey = QStringLiteral("notes");
    static const QString statusKey = QStringLiteral("status");
    static const QString colorKey = QStringLiteral("colortag");
    static const QString deliveryKey = QStringLiteral("estimateddelivery");

    const QStringList fields = parseCSVLine(line);
    if (m_lineCount++ == 0) {
        // Header names match in any letter case but are not trimmed. When two names collide, the
        // first one wins.
        for (qsizetype i = 0; i < fields.size(); ++i)
            m_columns.insert(fields.at(i).toLower(), m_columns.value(fields.at(i).toLower(), i));
        m_numberColumn = m_columns.value(numberKey, -1);
        if (m_numberColumn < 0)
            return R::failure(CSVError::missingRequiredColumn(QStringLiteral("trackingNumber")));
        return std::optional<ImportRow>();
    }
    const QString number
        = Package::normalizeTrackingNumber(m_numberColumn < fields.size() ? fields.at(m_numberColumn) : QString());
    if (number.isEmpty() || m_existing.contains(number)) {
        ++m_skippedCount;
        return std::optional<ImportRow>();
    }
    ImportRow row;
    row.trackingNumber = number;
    row.carrierCode = fieldOrNil(fields, m_columns, carrierKey).value_or(QString());
    row.label = fieldOrNil(fields, m_columns, labelKey).value_or(QString());
    row.notes = fieldOrNil(fields, m_columns, notesKey).value_or(QString());
    if (const auto status = fieldOrNil(fields, m_columns, statusKey)) {
        if (const auto known = TrackingStatuses::fromRawValue(*status))
            row.status = *known;
    }
    row.colorTag = fieldOrNil(fields, m_columns, colorKey);
    if (const auto delivery = fieldOrNil(fields, m_columns, deliveryKey))
        row.estimatedDelivery = parseISODate(*delivery);
    return std::optional<ImportRow>(std::move(row));
}

Result<void, CSVError> ImportParser::finish() const
{
    if (m_lineCount < 2)
        return Result<void, CSVError>::failure(CSVError::emptyFile());
    return {};
}

Result<ParsedImport, CSVError> parseImport(const QString &text, const QSet<QString> &existingTrackingNumbers)
{
    using R = Result<ParsedImport, CSVError>;
    const QList<QStringView> lines = splitNonBlankLines(text);
    if (lines.size() < 2)
        return R::failure(CSVError::emptyFile());
    ImportParser parser(existingTrackingNumbers);
    ParsedImport parsed;
    parsed.rows.reserve(lines.size() - 1);
    for (const QStringView line : lines) {
        auto row = parser.addLine(line);
        if (!row)
            return R::failure(row.error());
        if (row.value())
            parsed.rows.append(std::move(*row.value()));
    }
    parsed.skippedCount = parser.skippedCount();
    return parsed;
}

Result<int, QString> readImportRows(QIODevice &device, const QSet<QString> &existingTrackingNumbers,
                                    const std::function<Result<void, QString>(const ImportRow &)> &take)
{
    using R = Result<int, QString>;
    CSVLineReader reader(device);
    ImportParser parser(existingTrackingNumbers);
    while (true) {
        auto line = reader.next();
        if (!line)
            return R::failure(line.error());
        if (!line.value())
            break;
        auto row = parser.addLine(*line.value());
        if (!row)
            return R::failure(row.error().errorDescription());
        if (row.value()) {
            if (auto taken = take(*row.value()); !taken)
                return R::failure(taken.error());
        }
    }
    if (auto finished = parser.finish(); !finished)
        return R::failure(finished.error().errorDescription());
    return parser.skippedCount();
}

Result<ParsedImport, QString> parseImport(QIODevice &device, const QSet<QString> &existingTrackingNumbers)
{
    ParsedImport parsed;
    auto skipped = readImportRows(device, existingTrackingNumbers, [&parsed](const ImportRow &row) {
        parsed.rows.append(row);
        return Result<void, QString>();
    });
    if (!skipped)
        return Result<ParsedImport, QString>::failure(skipped.error());
    parsed.skippedCount = skipped.value();
    return parsed;
}

CSVLineReader::CSVLineReader(QIODevice &device)
    : m_device(device)
{ }

Result<bool, QString> CSVLineReader::readMore()
{
    using R = Result<bool, QString>;
    const QString notUtf8 = QStringLiteral("The file is not UTF-8 text.");
    constexpr qint64 pieceSize = 256 * 1024;
    QByteArray bytes(pieceSize, Qt::Uninitialized);
    const qint64 count = m_device.read(bytes.data(), pieceSize);
    if (count < 0)
        return R::failure(m_device.errorString());
    if (count == 0) {
        if (!m_incomplete.isEmpty())
            return R::failure(notUtf8); // the text ends inside a multi-byte sequence
        return false;
    }
    bytes.truncate(count);
    bytes.prepend(m_incomplete);
    m_incomplete.clear();
    // A read may end inside a multi-byte sequence: keep its start for the next read, so that the
    // decoder only ever sees whole sequences.
    qsizetype lead = bytes.size() - 1;
    while (lead > 0 && bytes.size() - lead < 4 && (uchar(bytes.at(lead)) & 0xC0) == 0x80)
        --lead;
    const uchar first = uchar(bytes.at(lead));
    const qsizetype length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (bytes.size() - lead < length) {
        m_incomplete = bytes.mid(lead);
        bytes.truncate(lead);
    }
    m_text += m_decoder.decode(bytes);
    if (m_decoder.hasError())
        return R::failure(notUtf8);
    return true;
}

Result<std::optional<QString>, QString> CSVLineReader::next()
{
    using R = Result<std::optional<QString>, QString>;
    while (true) {
        const auto lineEnd = std::find_if(m_text.cbegin() + m_position, m_text.cend(), isLineBreak);
        if (lineEnd != m_text.cend() || m_ended) {
            const qsizetype end = lineEnd - m_text.cbegin();
            const QStringView piece = QStringView(m_text).mid(m_position, end - m_position);
            m_position = std::min(end + 1, m_text.size());
            if (!isBlankLine(piece))
                return std::optional<QString>(piece.toString());
            if (lineEnd == m_text.cend())
                return std::optional<QString>();
            continue;
        }
        if (m_text.size() - m_position > maximumLineLength)
            return R::failure(
                QStringLiteral("The file holds a line longer than 1 MiB; it does not look like CSV text."));
        m_text.remove(0, m_position);
        m_position = 0;
        auto more = readMore();
        if (!more)
            return R::failure(more.error());
        m_ended = !more.value();
    }
}

Package *makePackage(const ImportRow &row)
{
    auto *package
        = new Package(row.trackingNumber, row.carrierCode, row.label, row.status, row.estimatedDelivery, row.notes);
    if (row.colorTag)
        package->setColorTag(row.colorTag);
    return package;
}

Result<ImportResult, CSVError> importCSV(const QString &text, const QSet<QString> &existingTrackingNumbers,
                                         ModelContext *context)
{
    using R = Result<ImportResult, CSVError>;
    auto parsed = parseImport(text, existingTrackingNumbers);
    if (!parsed)
        return R::failure(parsed.error());
    ImportResult result;
    result.skippedCount = parsed.value().skippedCount;
    result.imported.reserve(parsed.value().rows.size());
    for (const ImportRow &row : std::as_const(parsed.value().rows)) {
        Package *package = makePackage(row);
        context->insert(package);
        result.imported.append(package);
    }
    // Not reported to the caller (PackageStore logs it): the packages stay in the context and a
    // later save tries again.
    (void)PackageStore::save(*context);
    return result;
}

QString resultMessage(qsizetype importedCount, qsizetype skippedCount)
{
    return QString::number(importedCount) + QStringLiteral(" package(s) imported, ") + QString::number(skippedCount)
        + QStringLiteral(" skipped (duplicate or invalid).");
}
}
