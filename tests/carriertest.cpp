#include "carriers/carrier.h"

#include "testmain.h"

#include <QObject>
#include <QSet>
#include <QTest>

class CarrierTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void catalogueIsComplete()
    {
        const QList<Carrier::Entry> &entries = Carrier::entries();
        QCOMPARE(entries.size(), 28);
        QCOMPARE(entries.constFirst().code, QStringLiteral("usps"));
        QCOMPARE(entries.constLast().code, QStringLiteral("india-post"));

        QSet<QString> codes;
        QSet<qint64> numbers;
        for (const Carrier::Entry &entry : entries) {
            QVERIFY2(!codes.contains(entry.code), qPrintable(entry.code));
            codes.insert(entry.code);
            QCOMPARE(entry.code, entry.code.toLower());
            QVERIFY(Carrier::isKnown(entry.code));
            QCOMPARE(Carrier::knownDisplayName(entry.code), entry.displayName);
            QCOMPARE(Carrier::normalizeCode(entry.code), entry.code);
            QVERIFY2(!entry.webDomain.isEmpty() && !entry.webDomain.contains(u'/'), qPrintable(entry.code));
            for (qint64 number : entry.numbers) {
                QVERIFY(!numbers.contains(number));
                numbers.insert(number);
                QCOMPARE(Carrier::codeForTrackNumber(number), std::optional<QString>(entry.code));
                QCOMPARE(Carrier::normalizeCode(QString::number(number)), entry.code);
            }
            // Every carrier's page, its own or the general one, is a valid HTTPS address.
            const QUrl url = Carrier::trackingURL(QStringLiteral("AB123456789XY"), entry.code);
            QVERIFY2(url.isValid() && url.scheme() == QLatin1String("https"), qPrintable(entry.code));
        }
        QCOMPARE(numbers.size(), 29);
        QVERIFY(!Carrier::isKnown(QStringLiteral("unknown")));
        QCOMPARE(Carrier::knownDisplayName(QStringLiteral("unknown")), QString());
    }

    void trackNumbers_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<qint64>("number");
        QTest::newRow("USPS answers its first number") << "usps" << qint64(21051);
        QTest::newRow("code is normalised first") << " FedEx " << qint64(100003);
        QTest::newRow("underscore code") << "dhl_ecommerce" << qint64(100069);
        QTest::newRow("code beginning with a digit") << "4px" << qint64(190233);
        QTest::newRow("second USPS number means USPS") << "100025" << qint64(21051);
        QTest::newRow("unknown code has none") << "unknown" << qint64(-1);
        QTest::newRow("outside the catalogue") << "acme" << qint64(-1);
    }
    void trackNumbers()
    {
        QFETCH(QString, code);
        QFETCH(qint64, number);
        QCOMPARE(Carrier::trackNumber(code), number < 0 ? std::nullopt : std::optional<qint64>(number));
    }

    void codeForTrackNumber()
    {
        QCOMPARE(Carrier::codeForTrackNumber(21051), std::optional<QString>(QStringLiteral("usps")));
        QCOMPARE(Carrier::codeForTrackNumber(100025), std::optional<QString>(QStringLiteral("usps")));
        QCOMPARE(Carrier::codeForTrackNumber(17014), std::optional<QString>(QStringLiteral("royal-mail")));
        QCOMPARE(Carrier::codeForTrackNumber(999), std::nullopt);
        QCOMPARE(Carrier::codeForTrackNumber(-21051), std::nullopt);
    }

    void normalizeCode_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("case and spaces") << " FedEx "
                                         << "fedex";
        QTest::newRow("hyphenated name") << "Royal-Mail"
                                         << "royal-mail";
        QTest::newRow("tabs trimmed") << "\tUPS\t"
                                      << "ups";
        QTest::newRow("no-break and ideographic spaces trimmed") << QStringLiteral("\u00a0dhl\u3000") << "dhl";
        QTest::newRow("underscore code upper case") << "DHL_ECOMMERCE"
                                                    << "dhl_ecommerce";
        QTest::newRow("first USPS number") << "21051"
                                           << "usps";
        QTest::newRow("second USPS number") << "100025"
                                            << "usps";
        QTest::newRow("FedEx number") << "100003"
                                      << "fedex";
        QTest::newRow("plus sign accepted") << "+100003"
                                            << "fedex";
        QTest::newRow("leading zeros accepted") << "00100003"
                                                << "fedex";
        QTest::newRow("number with spaces around") << " 3011 "
                                                   << "china-post";
        QTest::newRow("no carrier number") << "999"
                                           << "999";
        QTest::newRow("negative number kept") << "-100003"
                                              << "-100003";
        QTest::newRow("unknown word lower-cased") << "ACME"
                                                  << "acme";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("spaces only") << "   "
                                     << "";
        QTest::newRow("line break not trimmed") << "usps\n"
                                                << "usps\n";
        QTest::newRow("inner space kept") << "royal mail"
                                          << "royal mail";
        QTest::newRow("sign alone") << "+"
                                    << "+";
        QTest::newRow("two signs") << "+-100003"
                                   << "+-100003";
        QTest::newRow("beyond 64 bits") << "99999999999999999999"
                                        << "99999999999999999999";
        QTest::newRow("largest 64-bit value") << "9223372036854775807"
                                              << "9223372036854775807";
        QTest::newRow("exponent is no integer") << "1e5"
                                                << "1e5";
        QTest::newRow("Arabic-Indic digits are no integer") << QStringLiteral("\u0661\u0660\u0660\u0660\u0660\u0663")
                                                            << QStringLiteral("\u0661\u0660\u0660\u0660\u0660\u0663");
        QTest::newRow("full-width digits are no integer")
            << QStringLiteral("\uff13\uff10\uff11\uff11") << QStringLiteral("\uff13\uff10\uff11\uff11");
    }
    void normalizeCode()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(Carrier::normalizeCode(input), expected);
    }

    void systemImage_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("icon");
        QTest::newRow("UPS upper case") << "UPS"
                                        << "box.truck.fill";
        QTest::newRow("UPS mixed case") << "uPs"
                                        << "box.truck.fill";
        QTest::newRow("DHL by number") << "100001"
                                       << "globe";
        QTest::newRow("USPS by second number") << "100025"
                                               << "envelope.fill";
        QTest::newRow("Canada Post") << "canada-post"
                                     << "leaf.fill";
        QTest::newRow("India Post") << "india-post"
                                    << "globe.central.south.asia.fill";
        QTest::newRow("Aramex") << "aramex"
                                << "globe.americas.fill";
        QTest::newRow("unknown") << "unknown"
                                 << "shippingbox.fill";
        QTest::newRow("empty") << ""
                               << "shippingbox.fill";
        QTest::newRow("outside the catalogue") << "acme"
                                               << "shippingbox.fill";
    }
    void systemImage()
    {
        QFETCH(QString, code);
        QFETCH(QString, icon);
        QCOMPARE(Carrier::systemImage(code), icon);
    }

    void trackingURL_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("url");
        const QString general = QStringLiteral("https://t.17track.net/en#nums=");
        const QString dhl = QStringLiteral(
            "https://www.dhl.com/us-en/home/tracking/tracking-global-forwarding.html?submit=1&tracking-id=");
        QTest::newRow("UPS") << "1Z999"
                             << "ups"
                             << "https://www.ups.com/track?tracknum=1Z999";
        QTest::newRow("inner space percent-encoded") << "1Z 999"
                                                     << "ups"
                                                     << "https://www.ups.com/track?tracknum=1Z%20999";
        QTest::newRow("USPS by carrier number") << "9400"
                                                << "21051"
                                                << "https://tools.usps.com/go/TrackConfirmAction?tLabels=9400";
        QTest::newRow("FedEx") << "123456789012"
                               << "FedEx"
                               << "https://www.fedex.com/fedextrack/?trknbr=123456789012";
        QTest::newRow("Amazon path") << "TBA123"
                                     << "amazon"
                                     << "https://track.amazon.com/tracking/TBA123";
        QTest::newRow("OnTrac") << "C123"
                                << "ontrac"
                                << "https://www.ontrac.com/tracking/?number=C123";
        QTest::newRow("LaserShip path") << "L1"
                                        << "lasership"
                                        << "https://www.lasership.com/track/L1";
        QTest::newRow("DHL Express") << "123"
                                     << "dhl" << dhl + QStringLiteral("123");
        QTest::newRow("DHL eCommerce shares the page") << "456"
                                                       << "dhl_ecommerce" << dhl + QStringLiteral("456");
        QTest::newRow("China EMS on the China Post page")
            << "EE123456789CN"
            << "china-ems"
            << "https://track.chinapost.com.cn/en/querydel?nums=EE123456789CN";
        QTest::newRow("Royal Mail fragment")
            << "AB123456789GB"
            << "royal-mail"
            << "https://www.royalmail.com/track-your-item#/tracking-results/AB123456789GB";
        QTest::newRow("DPD path") << "J123"
                                  << "dpd"
                                  << "https://www.dpd.com/tracking/J123";
        QTest::newRow("Canada Post fragment")
            << "7012"
            << "canada-post"
            << "https://www.canadapost-postescanada.ca/track-reperage/en#/search?searchFor=7012";
        QTest::newRow("Australia Post fragment") << "AB1AU"
                                                 << "australia-post"
                                                 << "https://auspost.com.au/mypost/track/#/details/AB1AU";
        QTest::newRow("Japan Post ends in the locale")
            << "AB123456789JP"
            << "japan-post"
            << "https://trackings.post.japanpost.jp/services/srv/search/?requestNo1=AB123456789JP&locale=en";
        QTest::newRow("Yanwen on the general page") << "YT1"
                                                    << "yanwen" << general + QStringLiteral("YT1");
        QTest::newRow("GLS on the general page") << "12345678"
                                                 << "gls" << general + QStringLiteral("12345678");
        QTest::newRow("unknown on the general page") << "AB1ZZ"
                                                     << "unknown" << general + QStringLiteral("AB1ZZ");
        QTest::newRow("outside the catalogue on the general page") << "X1"
                                                                   << "acme" << general + QStringLiteral("X1");
        QTest::newRow("empty code on the general page") << "X1"
                                                        << "" << general + QStringLiteral("X1");
        // The query-allowed set keeps sub-delimiters, ":", "@", "/" and "?"; "#", "%" and non-ASCII are encoded.
        QTest::newRow("query characters kept") << "A&B=C/D?E:F@G+H"
                                               << "ups"
                                               << "https://www.ups.com/track?tracknum=A&B=C/D?E:F@G+H";
        QTest::newRow("number sign encoded in a fragment page") << "A#B"
                                                                << "gls" << general + QStringLiteral("A%23B");
        QTest::newRow("percent sign encoded") << "100%"
                                              << "ups"
                                              << "https://www.ups.com/track?tracknum=100%25";
        QTest::newRow("non-ASCII as UTF-8") << QStringLiteral("\u00e9") << "ups"
                                            << "https://www.ups.com/track?tracknum=%C3%A9";
        QTest::newRow("empty number") << ""
                                      << "ups"
                                      << "https://www.ups.com/track?tracknum=";
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
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("name");
        QTest::newRow("17TRACK number of DHL eCommerce") << "100069"
                                                         << "DHL eCommerce";
        QTest::newRow("catalogue code") << "la-poste"
                                        << "La Poste";
        QTest::newRow("normalised before lookup") << " Royal-Mail "
                                                  << "Royal Mail";
        QTest::newRow("unknown word upper-cased") << "acme"
                                                  << "ACME";
        QTest::newRow("stored text upper-cased, not the normalised one") << " acme "
                                                                         << " ACME ";
        QTest::newRow("unknown detection code") << "unknown"
                                                << "UNKNOWN";
        QTest::newRow("no carrier number") << "999"
                                           << "999";
    }
    void displayName()
    {
        QFETCH(QString, stored);
        QFETCH(QString, name);
        QCOMPARE(Carrier::displayName(stored), name);
    }
};

KESTROVE_TEST_MAIN(CarrierTest)
#include "carriertest.moc"
