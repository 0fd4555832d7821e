#include "carriers/carrier.h"

#include <QByteArray>
#include <QHash>

#include <limits>

namespace Carrier
{
namespace
{
// Public tracking pages; the percent-encoded number is appended to the prefix.
constexpr auto generalPage = "https://t.17track.net/en#nums=";
constexpr auto dhlPage
    = "https://www.dhl.com/us-en/home/tracking/tracking-global-forwarding.html?submit=1&tracking-id=";
constexpr auto chinaPostPage = "https://track.chinapost.com.cn/en/querydel?nums=";

struct Row {
    Entry entry;
    QString pagePrefix; // empty: the general 17TRACK page
    QString pageSuffix;
};

QList<Row> makeRows()
{
    const auto row = [](const char *code, const char *name, QList<qint64> numbers, const char *icon, const char *domain,
                        const char *prefix = nullptr, const char *suffix = nullptr) {
        return Row {Entry {QString::fromLatin1(code), QString::fromLatin1(name), std::move(numbers),
                           QString::fromLatin1(icon), QString::fromLatin1(domain)},
                    QString::fromLatin1(prefix), QString::fromLatin1(suffix)};
    };
    return {
        row("usps", "USPS", {21051, 100025}, "envelope.fill", "usps.com",
            "https://tools.usps.com/go/TrackConfirmAction?tLabels="),
        row("ups", "UPS", {100002}, "box.truck.fill", "ups.com", "https://www.ups.com/track?tracknum="),
        row("fedex", "FedEx", {100003}, "airplane", "fedex.com", "https://www.fedex.com/fedextrack/?trknbr="),
        row("amazon", "Amazon Logistics", {190271}, "bag.fill", "amazon.com", "https://track.amazon.com/tracking/"),
        row("ontrac", "OnTrac", {100049}, "car.fill", "ontrac.com", "https://www.ontrac.com/tracking/?number="),
        row("lasership", "LaserShip", {100042}, "car.fill", "lasership.com", "https://www.lasership.com/track/"),
        row("dhl", "DHL Express", {100001}, "globe", "dhl.com", dhlPage),
        row("dhl_ecommerce", "DHL eCommerce", {100069}, "globe", "dhl.com", dhlPage),
        row("china-post", "China Post", {3011}, "globe.asia.australia.fill", "chinapost.com.cn", chinaPostPage),
        row("china-ems", "China EMS", {3013}, "globe.asia.australia.fill", "ems.com.cn", chinaPostPage),
        row("yanwen", "Yanwen", {190012}, "globe.asia.australia.fill", "yw56.com.cn"),
        row("cainiao", "Cainiao", {190208}, "globe.asia.australia.fill", "cainiao.com"),
        row("yunexpress", "YunExpress", {190111}, "globe.asia.australia.fill", "yunexpress.com"),
        row("4px", "4PX", {190233}, "globe.asia.australia.fill", "4px.com"),
        row("sunyou", "SunYou", {190096}, "globe.asia.australia.fill", "sypost.net"),
        row("royal-mail", "Royal Mail", {17014}, "globe.europe.africa.fill", "royalmail.com",
            "https://www.royalmail.com/track-your-item#/tracking-results/"),
        row("dpd", "DPD", {17031}, "globe.europe.africa.fill", "dpd.com", "https://www.dpd.com/tracking/"),
        row("gls", "GLS", {17030}, "globe.europe.africa.fill", "gls-group.com"),
        row("postnord", "PostNord", {17042}, "globe.europe.africa.fill", "postnord.com"),
        row("la-poste", "La Poste", {17001}, "globe.europe.africa.fill", "laposte.fr"),
        row("deutsche-post", "Deutsche Post", {17003}, "globe.europe.africa.fill", "deutschepost.de"),
        row("correos", "Correos", {17004}, "globe.europe.africa.fill", "correos.es"),
        row("canada-post", "Canada Post", {3003}, "leaf.fill", "canadapost-postescanada.ca",
            "https://www.canadapost-postescanada.ca/track-reperage/en#/search?searchFor="),
        row("australia-post", "Australia Post", {7014}, "globe.asia.australia.fill", "auspost.com.au",
            "https://auspost.com.au/mypost/track/#/details/"),
        row("japan-post", "Japan Post", {8002}, "globe.asia.australia.fill", "japanpost.jp",
            "https://trackings.post.japanpost.jp/services/srv/search/?requestNo1=", "&locale=en"),
        row("korea-post", "Korea Post", {13031}, "globe.asia.australia.fill", "epost.go.kr"),
        row("aramex", "Aramex", {22011}, "globe.americas.fill", "aramex.com"),
        row("india-post", "India Post", {12012}, "globe.central.south.asia.fill", "indiapost.gov.in"),
    };
}

struct Tables {
    QList<Row> rows = makeRows();
    QList<Entry> entries;
    QHash<QString, qsizetype> byCode;
    QHash<qint64, QString> codeByNumber;

    Tables()
    {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            entries.append(rows.at(i).entry);
            byCode.insert(rows.at(i).entry.code, i);
            for (qint64 number : rows.at(i).entry.numbers)
                codeByNumber.insert(number, rows.at(i).entry.code);
        }
    }
};

// Built once; a function-local static is initialised thread-safely and never changes afterwards.
const Tables &tables()
{
    static const Tables instance;
    return instance;
}

const Row *findRow(const QString &code)
{
    const Tables &t = tables();
    const auto it = t.byCode.constFind(code);
    return it == t.byCode.constEnd() ? nullptr : &t.rows.at(*it);
}

// Spaces and tabs, the white space that does not break lines.
bool isInlineSpace(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

}

const QList<Entry> &entries()
{
    return tables().entries;
}

QString knownDisplayName(const QString &code)
{
    const Row *row = findRow(code);
    return row ? row->entry.displayName : QString();
}

bool isKnown(const QString &code)
{
    return findRow(code) != nullptr;
}

std::optional<qint64> parseNumber(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // Accumulate negatively so that the most negative value fits.
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (__builtin_mul_overflow(value, 10, &value) || __builtin_sub_overflow(value, c.unicode() - u'0', &value))
            return std::nullopt;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

QString normalizeCode(const QString &code)
{
    const QString lower = code.toLower();
    qsizetype begin = 0;
    qsizetype end = lower.size();
    while (begin < end && isInlineSpace(lower.at(begin)))
        ++begin;
    while (end > begin && isInlineSpace(lower.at(end - 1)))
        --end;
    const QString trimmed = lower.mid(begin, end - begin);
    if (trimmed.isEmpty() || isKnown(trimmed))
        return trimmed;
    if (const auto number = parseNumber(trimmed)) {
        if (auto mapped = codeForTrackNumber(*number))
            return *mapped;
    }
    return trimmed;
}

QString systemImage(const QString &code)
{
    const Row *row = findRow(normalizeCode(code));
    return row ? row->entry.systemImage : QStringLiteral("shippingbox.fill");
}

QUrl trackingURL(const QString &trackingNumber, const QString &carrierCode)
{
    // The characters a URL query admits unencoded: the unreserved ones (never encoded by
    // toPercentEncoding), the sub-delimiters, ":", "@", "/" and "?".
    static const QByteArray queryAllowed = QByteArrayLiteral("!$&'()*+,;=:@/?");
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(trackingNumber, queryAllowed));

    const Row *row = findRow(normalizeCode(carrierCode));
    QString text;
    if (row && !row->pagePrefix.isEmpty())
        text = row->pagePrefix + encoded + row->pageSuffix;
    else
        text = QString::fromLatin1(generalPage) + encoded;

    QUrl url(text, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

QString displayName(const QString &storedCode)
{
    const Row *row = findRow(normalizeCode(storedCode));
    return row ? row->entry.displayName : storedCode.toUpper();
}

std::optional<qint64> trackNumber(const QString &code)
{
    const Row *row = findRow(normalizeCode(code));
    if (!row || row->entry.numbers.isEmpty())
        return std::nullopt;
    return row->entry.numbers.constFirst();
}

std::optional<QString> codeForTrackNumber(qint64 number)
{
    const Tables &t = tables();
    const auto it = t.codeByNumber.constFind(number);
    if (it == t.codeByNumber.constEnd())
        return std::nullopt;
    return *it;
}
}
