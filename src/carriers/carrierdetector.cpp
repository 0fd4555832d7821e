#include "carriers/carrierdetector.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <optional>

namespace CarrierDetector
{
namespace
{
struct Pattern {
    QRegularExpression expression;
    double confidence;
    qsizetype minLength; // of any text the expression can match
    qsizetype maxLength; // -1: no upper bound

    [[nodiscard]] bool matches(const QString &number) const
    {
        // Every match first validates the whole subject, even when the anchor fails at once, so
        // a pattern that cannot match this length is not run at all: long texts stay cheap.
        if (number.size() < minLength || (maxLength >= 0 && number.size() > maxLength))
            return false;
        return expression.match(number).hasMatch();
    }
};

struct DetectionRule {
    QString carrierCode;
    QString carrierName;
    QList<Pattern> patterns; // tried top to bottom; the first match decides

    [[nodiscard]] std::optional<double> score(const QString &number) const
    {
        for (const Pattern &pattern : patterns) {
            if (pattern.matches(number))
                return pattern.confidence;
        }
        return std::nullopt;
    }
};

struct LengthRange {
    qsizetype min = 0;
    qsizetype max = 0; // -1: unbounded
};

/**
 * The lengths of the texts a rule pattern can match. Understands the small syntax the rules
 * use: literals, \d, [classes], (A|B) groups of literals, and the quantifiers {n}, {n,m},
 * {n,} and +. Anything else counts as "any length", which only costs speed.
 */
LengthRange lengthRange(QStringView body)
{
    constexpr LengthRange anyLength {0, -1};
    LengthRange total;
    qsizetype i = 0;
    while (i < body.size()) {
        LengthRange atom {1, 1};
        const QChar c = body.at(i);
        if (c == u'\\') {
            if (i + 1 >= body.size() || body.at(i + 1) != u'd')
                return anyLength;
            i += 2;
        } else if (c == u'[') {
            i = body.indexOf(u']', i);
            if (i < 0)
                return anyLength;
            ++i;
        } else if (c == u'(') {
            const qsizetype close = body.indexOf(u')', i);
            if (close < 0)
                return anyLength;
            const QList<QStringView> alternatives = body.mid(i + 1, close - i - 1).split(u'|');
            atom = {std::numeric_limits<qsizetype>::max(), 0};
            for (QStringView alternative : alternatives) {
                for (QChar a : alternative) {
                    if (!a.isLetterOrNumber())
                        return anyLength;
                }
                atom.min = std::min(atom.min, alternative.size());
                atom.max = std::max(atom.max, alternative.size());
            }
            i = close + 1;
        } else if (c.isLetterOrNumber()) {
            ++i;
        } else {
            return anyLength;
        }

        if (i < body.size() && body.at(i) == u'+') {
            atom.max = -1;
            ++i;
        } else if (i < body.size() && body.at(i) == u'{') {
            const qsizetype close = body.indexOf(u'}', i);
            if (close < 0)
                return anyLength;
            const QList<QStringView> bounds = body.mid(i + 1, close - i - 1).split(u',');
            bool ok = true;
            const qsizetype low = bounds.at(0).toInt(&ok);
            if (!ok || bounds.size() > 2)
                return anyLength;
            qsizetype high = low;
            if (bounds.size() == 2)
                high = bounds.at(1).isEmpty() ? -1 : bounds.at(1).toInt(&ok);
            if (!ok)
                return anyLength;
            atom.min *= low;
            atom.max = (high < 0 || atom.max < 0) ? -1 : atom.max * high;
            i = close + 1;
        }
        total.min += atom.min;
        total.max = (total.max < 0 || atom.max < 0) ? -1 : total.max + atom.max;
    }
    return total;
}

/**
 * Compiles a pattern written as "^...$" with "\d" for a digit. PCRE2 would let "$" match
 * before a final line break, and a tracking number is ASCII only, so the anchors become
 * \A and \z and "\d" becomes [0-9] (letter classes are already the ASCII [A-Z]).
 */
Pattern pattern(const char *source, double confidence)
{
    QString body = QString::fromLatin1(source);
    Q_ASSERT(body.startsWith(u'^') && body.endsWith(u'$'));
    body = body.mid(1, body.size() - 2);
    const LengthRange lengths = lengthRange(body);
    body.replace(QStringLiteral("\\d"), QStringLiteral("[0-9]"));
    QRegularExpression expression(QStringLiteral("\\A(?:") + body + QStringLiteral(")\\z"),
                                  QRegularExpression::DontCaptureOption);
    Q_ASSERT(expression.isValid());
    expression.optimize();
    return Pattern {std::move(expression), confidence, lengths.min, lengths.max};
}

DetectionRule rule(const char *code, const char *name, QList<Pattern> patterns)
{
    return DetectionRule {QString::fromLatin1(code), QString::fromLatin1(name), std::move(patterns)};
}

QList<DetectionRule> makeRules()
{
    // The 33 USPS prefixes all carry 0.95, so one alternation gives the same answer as
    // trying them one by one, in a single match.
    const char *uspsPrefixed = "^(9400|9200|9300|9114|9205|9208|9261|9270|9274|9361|9405|9407|9470|9486|9505|9500|"
                               "9502|9506|9510|9520|9530|9534|9540|9550|9560|9570|9580|9590|9202|9218|9241|9252|"
                               "9290)\\d{16,22}$";
    return {
        rule("amazon", "Amazon Logistics", {pattern("^TBA\\d{12,}$", 0.95)}),
        rule("ups", "UPS", {pattern("^1Z[0-9A-Z]{16}$", 0.95)}),
        rule("usps", "USPS",
             {pattern(uspsPrefixed, 0.95), pattern("^[A-Z]{2}\\d{9}US$", 0.9), pattern("^\\d{20,22}$", 0.7),
              pattern("^9\\d{19,27}$", 0.65)}),
        rule("usps", "USPS",
             {pattern("^70\\d{14}$", 0.9), pattern("^14\\d{14}$", 0.9), pattern("^23\\d{14}$", 0.9),
              pattern("^03\\d{14}$", 0.9), pattern("^M0\\d{8}$", 0.85), pattern("^82\\d{8}$", 0.85)}),
        rule("fedex", "FedEx",
             {pattern("^\\d{12}$", 0.8), pattern("^\\d{14}$", 0.7), pattern("^\\d{15}$", 0.85),
              pattern("^\\d{20}$", 0.6), pattern("^\\d{22}$", 0.55)}),
        rule("dhl", "DHL Express",
             {pattern("^JD\\d{18}$", 0.95), pattern("^JVGL\\d+$", 0.95), pattern("^[GLMRX][A-Z0-9]{9,38}$", 0.6),
              pattern("^5\\d{9}$", 0.75), pattern("^\\d{11}$", 0.55), pattern("^\\d{10}$", 0.5)}),
        rule("china-post", "China Post",
             {pattern("^[RCE][A-Z]\\d{9}CN$", 0.9), pattern("^[A-Z]{2}\\d{9}CN$", 0.85),
              pattern("^[A-Z]{2}\\d{9}CH$", 0.8)}),
        rule("china-ems", "China EMS", {pattern("^E[A-Z]\\d{9}CN$", 0.92)}),
        rule("royal-mail", "Royal Mail", {pattern("^[A-Z]{2}\\d{9}GB$", 0.9)}),
        rule("canada-post", "Canada Post", {pattern("^[A-Z]{2}\\d{9}CA$", 0.9), pattern("^\\d{16}$", 0.55)}),
        rule("australia-post", "Australia Post", {pattern("^[A-Z]{2}\\d{9}AU$", 0.9)}),
        rule("japan-post", "Japan Post", {pattern("^[A-Z]{2}\\d{9}JP$", 0.9)}),
        rule("korea-post", "Korea Post", {pattern("^[A-Z]{2}\\d{9}KR$", 0.9)}),
        rule("india-post", "India Post", {pattern("^[A-Z]{2}\\d{9}IN$", 0.9)}),
        rule("yunexpress", "YunExpress", {pattern("^YE[0-9A-Z]+$", 0.85)}),
        rule("yanwen", "Yanwen", {pattern("^YWPT\\d+CN$", 0.9), pattern("^YT[0-9A-Z]+$", 0.8)}),
        rule("4px", "4PX", {pattern("^[LR]X\\d{9}(CN|HK|SG)$", 0.85)}),
        rule("postnord", "PostNord", {pattern("^[A-Z]{2}\\d{9}(DK|SE|NO|FI)$", 0.9)}),
        rule("deutsche-post", "Deutsche Post", {pattern("^[A-Z]{2}\\d{9}DE$", 0.9)}),
        rule("la-poste", "La Poste", {pattern("^[A-Z]{2}\\d{9}FR$", 0.9)}),
        rule("correos", "Correos", {pattern("^[A-Z]{2}\\d{9}ES$", 0.9)}),
        rule("gls", "GLS", {pattern("^GL\\d{9}[A-Z]{2}$", 0.8), pattern("^\\d{8}$", 0.4), pattern("^\\d{11}$", 0.45)}),
        rule("dpd", "DPD", {pattern("^[3J][A-Z0-9]{9}$", 0.7)}),
        rule("unknown", "International Postal", {pattern("^[A-Z]{2}\\d{9}[A-Z]{2}$", 0.4)}),
    };
}

// Built once, on first use (thread-safe static initialisation), and only read afterwards:
// a compiled QRegularExpression may be matched from several threads at once.
const QList<DetectionRule> &rules()
{
    static const QList<DetectionRule> instance = makeRules();
    return instance;
}

// The only characters any rule admits, before upper-casing.
bool isAsciiLetterOrDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
}

QList<CarrierDetectionResult> detect(const QString &trackingNumber)
{
    QList<CarrierDetectionResult> results;
    const QString trimmed = trackingNumber.trimmed();
    // Every pattern admits ASCII letters and digits only, so any other character rules out
    // every match. Checking before upper-casing also keeps letters such as "ß" (upper case
    // "SS") or "ı" (upper case "I") from turning into one.
    if (trimmed.isEmpty() || !std::all_of(trimmed.cbegin(), trimmed.cend(), isAsciiLetterOrDigit))
        return results;
    const QString number = trimmed.toUpper();

    for (const DetectionRule &rule : rules()) {
        if (const auto confidence = rule.score(number))
            results.append(CarrierDetectionResult {rule.carrierCode, rule.carrierName, *confidence});
    }
    std::stable_sort(results.begin(), results.end(),
                     [](const CarrierDetectionResult &a, const CarrierDetectionResult &b) {
                         if (a.confidence != b.confidence)
                             return a.confidence > b.confidence;
                         // Ordinal UTF-16 order equals code-point order for these names (all in the BMP).
                         return QString::compare(a.carrierName, b.carrierName, Qt::CaseSensitive) < 0;
                     });
    return results;
}
}
