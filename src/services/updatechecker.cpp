#include "services/updatechecker.h"

#include "base/clock.h"
#include "base/endpoints.h"
#include "base/logmanager.h"
#include "model/preferences.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace
{
// A manifest is a few hundred bytes; anything near these limits is not one.
constexpr qint64 maximumManifestBytes = 64 * 1024;
constexpr qsizetype maximumVersionLength = 64;

struct VersionManifest {
    QString version;
    QString build;
    QString url;
    QString notes;
};

std::optional<VersionManifest> decodeManifest(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    for (const char *key : {"version", "build", "url", "notes"}) {
        if (!object.value(QLatin1String(key)).isString())
            return std::nullopt;
    }
    VersionManifest manifest {
        object.value(QLatin1String("version")).toString(), object.value(QLatin1String("build")).toString(),
        object.value(QLatin1String("url")).toString(), object.value(QLatin1String("notes")).toString()};
    if (manifest.version.size() > maximumVersionLength)
        return std::nullopt;
    return manifest;
}

/** The manifest's "url" read against the manifest's own address; nothing when it leaves the web. */
std::optional<QUrl> downloadAddress(const QUrl &manifestUrl, const QString &relative)
{
    const QUrl parsed(relative, QUrl::StrictMode);
    const QUrl address
        = parsed.isValid() ? manifestUrl.resolved(parsed) : manifestUrl.resolved(QUrl(QStringLiteral("/")));
    const QString scheme = address.scheme().toLower();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http"))
        return std::nullopt; // file:, javascript: and the like are never opened
    return address;
}
}

UpdateChecker::UpdateChecker(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    if (!m_options.network)
        m_options.network = new QNetworkAccessManager(this);
    if (m_options.manifestUrl.isEmpty())
        m_options.manifestUrl = Endpoints::updateManifestUrl();
    if (m_options.currentVersion.isEmpty())
        m_options.currentVersion = QCoreApplication::applicationVersion();
    if (m_options.currentVersion.isEmpty())
        m_options.currentVersion = QStringLiteral("0.0.0");
    if (const double last = m_options.preferences->lastUpdateCheck(); last > 0)
        m_lastCheckDate = QDateTime::fromMSecsSinceEpoch(qint64(last * 1000.0));
}

void UpdateChecker::setChecking(bool checking)
{
    if (m_isChecking == checking)
        return;
    m_isChecking = checking;
    Q_EMIT isCheckingChanged();
}

QCoro::Task<> UpdateChecker::checkIfNeeded()
{
    if (m_lastCheckDate && m_lastCheckDate->secsTo(m_options.clock->now()) < checkInterval.count())
        co_return;
    co_await checkForUpdates();
}

QCoro::Task<> UpdateChecker::checkForUpdates()
{
    QPointer<UpdateChecker> self(this);
    setChecking(true);

    QNetworkRequest request(m_options.manifestUrl);
    request.setTransferTimeout(int(std::chrono::milliseconds(requestTimeout).count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply *reply = m_options.network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maximumManifestBytes || total > maximumManifestBytes)
            reply->abort();
    });
    co_await qCoro(reply).waitForFinished();
    // A checker that is gone took its manager and the reply with it: touch neither.
    if (!self)
        co_return;
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> cleanup(reply,
                                                                            [](QNetworkReply *r) { r->deleteLater(); });

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    std::optional<VersionManifest> manifest;
    if (reply->error() == QNetworkReply::NoError && status == 200)
        manifest = decodeManifest(reply->readAll());
    const std::optional<QUrl> address
        = manifest ? downloadAddress(m_options.manifestUrl, manifest->url) : std::optional<QUrl>();
    if (!manifest || !address) {
        LogManager::log(QStringLiteral("Update check failed: ")
                        + (reply->error() != QNetworkReply::NoError ? reply->errorString()
                               : status != 200                      ? QStringLiteral("HTTP ") + QString::number(status)
                                                                    : QStringLiteral("malformed manifest")));
        setChecking(false);
        co_return;
    }

    const QDateTime now = m_options.clock->now();
    m_lastCheckDate = now;
    m_options.preferences->setLastUpdateCheck(double(now.toMSecsSinceEpoch()) / 1000.0);
    Q_EMIT lastCheckDateChanged();

    std::optional<AppUpdateInfo> found;
    if (isNewer(manifest->version, m_options.currentVersion))
        found = AppUpdateInfo {manifest->version, *address, manifest->notes};
    if (found != m_updateAvailable) {
        m_updateAvailable = found;
        Q_EMIT updateAvailableChanged();
    }
    setChecking(false);
}

void UpdateChecker::openUpdateURL() const
{
    if (m_updateAvailable)
        QDesktopServices::openUrl(m_updateAvailable->downloadURL);
}

std::array<qint64, 3> UpdateChecker::padVersion(const QString &version)
{
    static const QRegularExpression decimal(QStringLiteral(R"(^[+-]?[0-9]+$)"));
    std::array<qint64, 3> numbers {0, 0, 0};
    qsizetype filled = 0;
    for (const QString &piece : version.split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        if (filled == 3)
            break;
        bool ok = false;
        const qint64 number = decimal.match(piece).hasMatch() ? piece.toLongLong(&ok) : 0;
        if (ok)
            numbers.at(filled++) = number;
    }
    return numbers;
}

bool UpdateChecker::isNewer(const QString &remote, const QString &local)
{
    return padVersion(remote) > padVersion(local);
}
