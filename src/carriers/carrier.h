#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

/** The fixed catalogue of the 28 carriers Kestrove names. Codes outside it are legal everywhere. */
namespace Carrier
{
struct Entry {
    QString code;
    QString displayName;
    QList<qint64> numbers; // 17TRACK carrier numbers
    QString systemImage;
    QString webDomain; // where the logo service looks for the carrier's logo
};

/** The catalogue rows, in catalogue order. */
[[nodiscard]] const QList<Entry> &entries();

/** Display name of a catalogue code, or an empty string when the code is not in the catalogue. */
[[nodiscard]] QString knownDisplayName(const QString &code);
/** True when the code is a key of the catalogue. */
[[nodiscard]] bool isKnown(const QString &code);

/** A whole decimal number as carrier codes write it: an optional sign, then ASCII digits only (64-bit). */
[[nodiscard]] std::optional<qint64> parseNumber(QStringView text);

/** The canonical code for any carrier code or 17TRACK carrier number given as text. */
[[nodiscard]] QString normalizeCode(const QString &code);
/** System symbol name of the carrier's icon; "shippingbox.fill" for unknown codes. */
[[nodiscard]] QString systemImage(const QString &code);
/** The carrier's public tracking page for this number; invalid QUrl when it does not parse. */
[[nodiscard]] QUrl trackingURL(const QString &trackingNumber, const QString &carrierCode);
/** Display name of a stored code: the catalogue's name of the normalised code, else the code upper-cased. */
[[nodiscard]] QString displayName(const QString &storedCode);

/** The 17TRACK carrier number for a code (the first one for USPS: 21051), if the catalogue knows it. */
[[nodiscard]] std::optional<qint64> trackNumber(const QString &code);
/** The catalogue code of a 17TRACK carrier number, if known. */
[[nodiscard]] std::optional<QString> codeForTrackNumber(qint64 number);
}
