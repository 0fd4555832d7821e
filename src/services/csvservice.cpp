#include "services/csvservice.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"

#include <QHash>
#include <QStringDecoder>
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

Result<ParsedImport, CSVError> parseImport(const QString &text, const QSet<QString> &existingTrackingNumbers)
{
    using R = Result<ParsedImport, CSVError>;
    const QList<QStringView> lines = splitNonBlankLines(text);
    if (lines.size() < 2)
        return R::failure(CSVError::emptyFile());

    // Header names match in any letter case but are not trimmed. When two names collide, the
    // first one wins.
    QHash<QString, qsizetype> columns;
    const QStringList header = parseCSVLine(lines.constFirst());
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QString key = header.at(i).toLower();
        if (!columns.contains(key))
            columns.insert(key, i);
    }
    const auto numberColumn = columns.constFind(QStringLiteral("trackingnumber"));
    if (numberColumn == columns.constEnd())
        return R::failure(CSVError::missingRequiredColumn(QStringLiteral("trackingNumber")));

    const QString carrierKey = QStringLiteral("carrier");
    const QString labelKey = QStringLiteral("label");
    const QString notesKey = QStringLiteral("notes");
    const QString statusKey = QStringLiteral("status");
    const QString colorKey = QStringLiteral("colortag");
    const QString deliveryKey = QStringLiteral("estimateddelivery");

    ParsedImport parsed;
    parsed.rows.reserve(lines.size() - 1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = parseCSVLine(lines.at(i));
        const QString number = Package::normalizeTrackingNumber(
            numberColumn.value() < fields.size() ? fields.at(numberColumn.value()) : QString());
        if (number.isEmpty() || existingTrackingNumbers.contains(number)) {
            ++parsed.skippedCount;
            continue;
        }
        ImportRow row;
        row.trackingNumber = number;
        row.carrierCode = fieldOrNil(fields, columns, carrierKey).value_or(QString());
        row.label = fieldOrNil(fields, columns, labelKey).value_or(QString());
        row.notes = fieldOrNil(fields, columns, notesKey).value_or(QString());
        if (const auto status = fieldOrNil(fields, columns, statusKey)) {
            if (const auto known = TrackingStatuses::fromRawValue(*status))
                row.status = *known;
        }
        row.colorTag = fieldOrNil(fields, columns, colorKey);
        if (const auto delivery = fieldOrNil(fields, columns, deliveryKey))
            row.estimatedDelivery = parseISODate(*delivery);
        parsed.rows.append(std::move(row));
    }
    return parsed;
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

Result<QString, QString> decodeUtf8(const QByteArray &bytes)
{
    // A leading byte-order mark is dropped, as spreadsheet programs like to write one.
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return Result<QString, QString>::failure(QStringLiteral("The file is not UTF-8 text."));
    return text;
}
}
