#include "carriers/carrier.h"

#include "testmain.h"

#include <QObject>
#include <QSet>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
/** Adds one row per (input, expected) pair, named after the input. */
void addPairs(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    for (const auto &[input, expected] : pairs)
        QTest::newRow(qPrintable(u"\"%1\""_s.arg(input))) << input << expected;
}
}

class CarrierTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void catalogueIsConsistent()
    {
        QSet<QString> codes;
        QSet<qint64> numbers;
        for (const Carrier::Entry &entry : Carrier::entries()) {
            QVERIFY2(!codes.contains(entry.code), qPrintable(entry.code));
            codes.insert(entry.code);
            QCOMPARE(Carrier::normalizeCode(entry.code), entry.code);
            QCOMPARE(Carrier::knownDisplayName(entry.code), entry.displayName);
            for (qint64 number : entry.numbers) {
                QVERIFY(!numbers.contains(number));
                numbers.insert(number);
                QCOMPARE(Carrier::codeForTrackNumber(number), std::optional<QString>(entry.code));
                QCOMPARE(Carrier::normalizeCode(QString::number(number)), entry.code);
            }
            // Every carrier's page, its own or the general one, is a valid HTTPS address.
            const QUrl url = Carrier::trackingURL(u"AB123456789XY"_s, entry.code);
            QVERIFY2(url.isValid() && url.scheme() == u"https"_s, qPrintable(entry.code));
        }
        QCOMPARE(Carrier::codeForTrackNumber(-21051), std::nullopt);
        QVERIFY(!Carrier::isKnown(u"unknown"_s));
        QCOMPARE(Carrier::trackNumber(u" FedEx "_s), qint64(100003));
        QCOMPARE(Carrier::trackNumber(u"100025"_s), qint64(21051)); // USPS's second number means USPS
        QCOMPARE(Carrier::trackNumber(u"unknown"_s), std::nullopt);
    }

    void normalizeCode_data()
    {
        addPairs({{u" FedEx "_s, u"fedex"_s},
                  {u"\u00a0dhl\u3000"_s, u"dhl"_s},
                  {u"DHL_ECOMMERCE"_s, u"dhl_ecommerce"_s},
                  {u"+100003"_s, u"fedex"_s},
                  {u"00100003"_s, u"fedex"_s},
                  {u" 3011 "_s, u"china-post"_s},
                  {u"999"_s, u"999"_s},
                  {u"-100003"_s, u"-100003"_s},
                  {u"   "_s, u""_s},
                  {u"usps\n"_s, u"usps\n"_s},
                  {u"royal mail"_s, u"royal mail"_s},
                  {u"+-100003"_s, u"+-100003"_s},
                  {u"99999999999999999999"_s, u"99999999999999999999"_s},
                  {u"1e5"_s, u"1e5"_s},
                  {u"\u0661\u0660\u0660\u0660\u0660\u0663"_s, u"\u0661\u0660\u0660\u0660\u0660\u0663"_s},
                  {u"\uff13\uff10\uff11\uff11"_s, u"\uff13\uff10\uff11\uff11"_s}});
    }
    void normalizeCode()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(Carrier::normalizeCode(input), expected);
    }

    void systemImageFallsBackForUnknownCodes_data()
    {
        addPairs({{u"uPs"_s, u"box.truck.fill"_s},
                  {u"100025"_s, u"envelope.fill"_s},
                  {u"unknown"_s, u"shippingbox.fill"_s},
                  {u""_s, u"shippingbox.fill"_s},
                  {u"acme"_s, u"shippingbox.fill"_s}});
    }
    void systemImageFallsBackForUnknownCodes()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(Carrier::systemImage(input), expected);
    }

    void trackingURL_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("url");
        const QString ups = u"https://www.ups.com/track?tracknum="_s;
        const QString general = u"https://t.17track.net/en#nums="_s;
        QTest::newRow("inner space percent-encoded") << "1Z 999"
                                                     << "ups" << ups + u"1Z%20999"_s;
        QTest::newRow("USPS by carrier number")
            << "9400"
            << "21051" << u"https://tools.usps.com/go/TrackConfirmAction?tLabels=9400"_s;
        QTest::newRow("DHL eCommerce shares the DHL page")
            << "456"
            << "dhl_ecommerce"
            << u"https://www.dhl.com/us-en/home/tracking/tracking-global-forwarding.html?submit=1&tracking-id=456"_s;
        QTest::newRow("a carrier without a page of its own") << "YT1"
                                                             << "yanwen" << general + u"YT1"_s;
        QTest::newRow("unknown on the general page") << "AB1ZZ"
                                                     << "unknown" << general + u"AB1ZZ"_s;
        QTest::newRow("outside the catalogue") << "X1"
                                               << "acme" << general + u"X1"_s;
        QTest::newRow("empty code") << "X1"
                                    << "" << general + u"X1"_s;
        // The query-allowed set keeps sub-delimiters, ":", "@", "/" and "?"; "#", "%" and non-ASCII are encoded.
        QTest::newRow("query characters kept") << "A&B=C/D?E:F@G+H"
                                               << "ups" << ups + u"A&B=C/D?E:F@G+H"_s;
        QTest::newRow("number sign encoded in a fragment page") << "A#B"
                                                                << "gls" << general + u"A%23B"_s;
        QTest::newRow("percent sign encoded") << "100%"
                                              << "ups" << ups + u"100%25"_s;
        QTest::newRow("non-ASCII as UTF-8") << u"\u00e9"_s << "ups" << ups + u"%C3%A9"_s;
        QTest::newRow("empty number") << ""
                                      << "ups" << ups;
    }
    void trackingURL()
    {
        QFETCH(QString, number);
        QFETCH(QString, code);
        QFETCH(QString, url);
        const QUrl result = Carrier::trackingURL(number, code);
        QVERIFY(result.isValid());
        QCOMPARE(result.toString(QUrl::FullyEncoded), url);
    }

    void displayName_data()
    {
        addPairs({{u"100069"_s, u"DHL eCommerce"_s},
                  {u" Royal-Mail "_s, u"Royal Mail"_s},
                  {u"acme"_s, u"ACME"_s},
                  {u" acme "_s, u" ACME "_s}, // the stored text upper-cased, not the normalised one
                  {u"999"_s, u"999"_s}});
    }
    void displayName()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(Carrier::displayName(input), expected);
    }
};

KESTROVE_TEST_MAIN(CarrierTest)
#include "carriertest.moc"
