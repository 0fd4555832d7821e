#include "services/carrierlogoservice.h"

#include "base/endpoints.h"
#include "carriers/carrier.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>
#include <qcoro/qcorotimer.h>

#include <memory>

namespace
{
const Carrier::Entry *catalogueEntry(const QString &normalizedCode)
{
    for (const Carrier::Entry &entry : Carrier::entries()) {
        if (entry.code == normalizedCode)
            return &entry;
    }
    return nullptr;
}

// The code itself when it is a number, else the number the catalogue files the carrier's logo
// under: its newest one (USPS has two; the logo asset exists for 100025).
std::optional<qint64> resolveNumericCode(const QString &normalizedCode, const QString &rawCode)
{
    if (const auto number = Carrier::parseNumber(normalizedCode))
        return number;
    if (const auto number = Carrier::parseNumber(rawCode))
        return number;
    if (const Carrier::Entry *entry = catalogueEntry(normalizedCode); entry && !entry->numbers.isEmpty())
        return entry->numbers.constLast();
    return std::nullopt;
}

QImage decodeImage(const QByteArray &bytes)
{
    QImage image;
    if (!bytes.isEmpty())
        image.loadFromData(bytes);
    return image;
}
}

CarrierLogoService::CarrierLogoService(QNetworkAccessManager *network, QString cacheDirectory, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_cacheDirectory(std::move(cacheDirectory))
{ }

CarrierLogoService::~CarrierLogoService() = default;

QString CarrierLogoService::defaultCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/com.kestrove.carrier-logos");
}

QImage CarrierLogoService::logo(const QString &carrierCode) const
{
    return m_logos.value(Carrier::normalizeCode(carrierCode));
}

QList<QUrl> CarrierLogoService::sourceAddresses(const QString &normalizedCode, const QString &rawCode)
{
    QStringList candidates;
    if (const auto number = resolveNumericCode(normalizedCode, rawCode)) {
        candidates.append(Endpoints::carrierLogoAssetBaseUrl() + QStringLiteral("/asset/carrier/logo/120x120/")
                          + QString::number(*number) + QStringLiteral(".png"));
    }
    if (const Carrier::Entry *entry = catalogueEntry(normalizedCode); entry && !entry->webDomain.isEmpty()) {
        const QString &domain = entry->webDomain;
        candidates.append(Endpoints::iconServiceBaseUrl() + QStringLiteral("/ip3/") + domain + QStringLiteral(".ico"));
        candidates.append(Endpoints::faviconServiceBaseUrl() + QStringLiteral("/s2/favicons?domain=") + domain
                          + QStringLiteral("&sz=128"));
        candidates.append(Endpoints::carrierSiteUrl(domain) + QStringLiteral("/favicon.ico"));
    }
    QList<QUrl> addresses;
    for (const QString &candidate : std::as_const(candidates)) {
        const QUrl url(candidate, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty())
            addresses.append(url);
    }
    return addresses;
}

QCoro::Task<std::optional<QImage>> CarrierLogoService::fetchLogo(QString carrierCode)
{
    const QString code = Carrier::normalizeCode(carrierCode);
    if (code.isEmpty())
        co_return std::nullopt;
    if (const auto known = m_logos.constFind(code); known != m_logos.constEnd())
        co_return *known;
    // A second caller does not wait for the running fetch: it sees the logo arrive through logoAdded().
    if (m_permanentlySkipped.contains(code) || m_inFlight.contains(code))
        co_return std::nullopt;

    QFile cached(QDir(m_cacheDirectory).filePath(code + QStringLiteral(".png")));
    if (cached.open(QIODevice::ReadOnly)) {
        const QImage image = decodeImage(cached.read(maximumBodySize));
        if (!image.isNull()) {
            remember(code, image);
            co_return image;
        }
    }

    const QList<QUrl> sources = sourceAddresses(code, carrierCode);
    if (sources.isEmpty()) {
        m_permanentlySkipped.insert(code);
        co_return std::nullopt;
    }
    m_inFlight.insert(code);
    const QPointer<CarrierLogoService> self(this);
    // Asked from inside a paint: the first request of a run loads the TLS library, which would hold
    // up that frame (the first frame of the window, often). The download starts on the next turn.
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    if (!self)
        co_return std::nullopt;
    for (const QUrl &source : sources) {
        const std::optional<QImage> image = co_await downloadImage(source, code);
        if (!self)
            co_return std::nullopt;
        if (image) {
            m_inFlight.remove(code);
            co_return image;
        }
    }
    m_inFlight.remove(code);
    co_return std::nullopt;
}

QCoro::Task<std::optional<QImage>> CarrierLogoService::downloadImage(QUrl url, QString code)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(m_timeout.count()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Kestrove/1.0"));
    QNetworkReply *reply = m_network->get(request);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        // Not from inside the progress signal: aborting there would finish the reply mid-delivery.
        if (received > maximumBodySize || total > maximumBodySize)
            QTimer::singleShot(0, reply, &QNetworkReply::abort);
    });
    const QPointer<CarrierLogoService> self(this);
    co_await qCoro(reply).waitForFinished();
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> cleanup(reply,
                                                                            [](QNetworkReply *r) { r->deleteLater(); });
    if (!self || reply->error() != QNetworkReply::NoError)
        co_return std::nullopt;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid() || status.toInt() < 200 || status.toInt() > 299)
        co_return std::nullopt;
    const QByteArray body = reply->readAll();
    const QImage image = decodeImage(body);
    // A one-pixel "favicon" is a placeholder, not a logo.
    if (image.isNull() || image.width() < 4)
        co_return std::nullopt;

    remember(code, image);
    // The bytes as the source sent them; a cache that cannot be written only costs a download later.
    if (QDir().mkpath(m_cacheDirectory)) {
        QSaveFile file(QDir(m_cacheDirectory).filePath(code + QStringLiteral(".png")));
        if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size())
            file.commit();
    }
    co_return image;
}

void CarrierLogoService::remember(const QString &code, const QImage &image)
{
    m_logos.insert(code, image);
    Q_EMIT logoAdded(code);
}
