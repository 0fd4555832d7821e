#include "services/carrierlogoservice.h"

#include "fake17trackserver.h"
#include "taskrunner.h"
#include "testmain.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;
using S = Fake17TrackServer;

namespace
{
QByteArray imageBytes(int width, int height, const char *format)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// How a source answers: "png", "ico" (a 32-pixel favicon), "1px", "garbage", "loop" (redirects to itself),
// "silent" (never answers), anything else 404.
S::Reply answer(const QString &how, const QString &path)
{
    if (how == u"png")
        return S::Reply::raw(imageBytes(120, 120, "PNG")).withHeader("Content-Type", "image/png");
    if (how == u"ico")
        return S::Reply::raw(imageBytes(32, 32, "ICO"));
    if (how == u"1px")
        return S::Reply::raw(imageBytes(1, 1, "PNG"));
    if (how == u"garbage")
        return S::Reply::raw("<html>not an image</html>");
    if (how == u"loop")
        return S::Reply::httpStatus(302).withHeader("Location", path.toUtf8());
    if (how == u"silent")
        return S::Reply::neverAnswer();
    return S::Reply::httpStatus(404);
}
}

class CarrierLogoServiceTest : public QObject
{
    Q_OBJECT

    S m_server;
    QHash<QString, QString> m_answers; // source name -> how it answers
    QTemporaryDir m_cache;
    QNetworkAccessManager m_network;

    /** Each address once in a row: a redirect loop asks the same one again and again. */
    QStringList requestedPaths() const
    {
        QStringList paths;
        for (const S::Request &request : m_server.requests()) {
            if (paths.isEmpty() || paths.constLast() != request.path)
                paths.append(request.path);
        }
        return paths;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        const QByteArray root = "http://127.0.0.1:" + QByteArray::number(m_server.port());
        qputenv("KESTROVE_LOGO_ASSET_URL", root);
        qputenv("KESTROVE_ICON_SERVICE_URL", root + "/");
        qputenv("KESTROVE_FAVICON_SERVICE_URL", root);
        qputenv("KESTROVE_CARRIER_SITE_URL", root + "/site/{domain}");
        m_server.setHandler([this](const S::Request &request) -> std::optional<S::Reply> {
            const QString source = request.path.startsWith(u"/asset/"_s) ? u"asset"_s
                : request.path.startsWith(u"/ip3/"_s)                    ? u"ip3"_s
                : request.path.startsWith(u"/s2/"_s)                     ? u"s2"_s
                                                                         : u"site"_s;
            return answer(m_answers.value(source), request.path);
        });
    }

    void init()
    {
        m_server.clearRequests();
        m_answers.clear();
        QDir(m_cache.path()).removeRecursively();
    }

    void sourcesInOrderUntilOneIsUsable_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("answers"); // asset, ip3, s2, site
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("found");
        const QStringList upsSources = {u"/asset/carrier/logo/120x120/100002.png"_s, u"/ip3/ups.com.ico"_s,
                                        u"/s2/favicons?domain=ups.com&sz=128"_s, u"/site/ups.com/favicon.ico"_s};
        QTest::newRow("404, then a 1-pixel icon, then a logo")
            << u"UPS"_s << QStringList {u"404"_s, u"1px"_s, u"png"_s} << upsSources.mid(0, 3) << true;
        QTest::newRow("garbage, a redirect loop and silence lead on to the carrier's site")
            << u" ups "_s << QStringList {u"garbage"_s, u"loop"_s, u"silent"_s, u"ico"_s} << upsSources << true;
        QTest::newRow("every source fails") << u"ups"_s << QStringList {} << upsSources << false;
        QTest::newRow("USPS's logo is filed under its newer number")
            << u"usps"_s << QStringList {u"png"_s} << QStringList {u"/asset/carrier/logo/120x120/100025.png"_s} << true;
        QTest::newRow("a number the catalogue does not know asks the asset only")
            << u"12345"_s << QStringList {} << QStringList {u"/asset/carrier/logo/120x120/12345.png"_s} << false;
        QTest::newRow("a code without any source asks nobody")
            << u"someco"_s << QStringList {} << QStringList {} << false;
    }

    void sourcesInOrderUntilOneIsUsable()
    {
        QFETCH(QString, code);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, paths);
        QFETCH(bool, found);
        const QStringList sources = {u"asset"_s, u"ip3"_s, u"s2"_s, u"site"_s};
        for (qsizetype i = 0; i < answers.size(); ++i)
            m_answers.insert(sources.at(i), answers.at(i));
        CarrierLogoService service(&m_network, m_cache.path());
        service.setTimeout(std::chrono::milliseconds(300));

        const auto logo = TestSupport::runTask(service.fetchLogo(code));
        QVERIFY(logo);
        QCOMPARE(logo->has_value(), found);
        QCOMPARE(requestedPaths(), paths);
        for (const S::Request &request : m_server.requests())
            QCOMPARE(request.header("User-Agent"), QByteArray("Kestrove/1.0"));
        const QString normalized = code.trimmed().toLower();
        QCOMPARE(QFile::exists(m_cache.filePath(normalized + u".png"_s)), found);
        QVERIFY(service.inFlight().isEmpty());
        QCOMPARE(service.permanentlySkipped().contains(normalized), paths.isEmpty());

        // Asked again: a found logo comes from memory, a failure is tried anew, a code without sources never.
        m_server.clearRequests();
        const auto again = TestSupport::runTask(service.fetchLogo(normalized));
        QCOMPARE(again->has_value(), found);
        QCOMPARE(requestedPaths(), found ? QStringList() : paths);
    }

    void oneFetchPerCarrierAndTheDiskCacheAcrossRestarts()
    {
        m_answers.insert(u"asset"_s, u"png"_s);
        const QByteArray served = imageBytes(120, 120, "PNG");
        {
            CarrierLogoService service(&m_network, m_cache.path());
            QSignalSpy added(&service, &CarrierLogoService::logoAdded);
            auto first = service.fetchLogo(u"dhl"_s);
            QVERIFY(service.inFlight().contains(u"dhl"_s));
            // A second caller does not wait: absent now, the logo arrives through logoAdded.
            const auto second = TestSupport::runTask(service.fetchLogo(u"DHL"_s), 1000);
            QVERIFY(second && !second->has_value());
            QVERIFY(TestSupport::runTask(std::move(first)));
            QCOMPARE(m_server.requests().size(), 1);
            QCOMPARE(added.size(), 1);
            QCOMPARE(added.at(0).at(0).toString(), u"dhl"_s);
            QFile file(m_cache.filePath(u"dhl.png"_s));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), served);
        }
        // After a restart, with nobody answering any more, the logo comes from the disk.
        m_server.close();
        m_server.clearRequests();
        CarrierLogoService restarted(&m_network, m_cache.path());
        const auto logo = TestSupport::runTask(restarted.fetchLogo(u"dhl"_s));
        QVERIFY(logo && logo->has_value());
        QCOMPARE((*logo)->size(), QSize(120, 120));
        QCOMPARE(restarted.logo(u" DHL "_s).size(), QSize(120, 120));
        QVERIFY(m_server.requests().isEmpty());
    }
};

KESTROVE_TEST_MAIN(CarrierLogoServiceTest)
#include "carrierlogoservicetest.moc"
