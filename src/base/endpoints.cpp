#include "base/endpoints.h"

#include <QHostAddress>

namespace Endpoints
{
namespace
{
QString overridden(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable).trimmed();
    return value.isEmpty() ? fallback : value;
}

// Paths are appended as plain text and begin with "/".
QString withoutTrailingSlash(QString base)
{
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}
}

QString seventeenTrackBaseUrl()
{
    return withoutTrailingSlash(
        overridden("KESTROVE_17TRACK_BASE_URL", QStringLiteral("https://api.17track.net/track/v2.2")));
}

QUrl updateManifestUrl()
{
    return QUrl(overridden("KESTROVE_UPDATE_MANIFEST_URL", QStringLiteral("https://kestrove.app/update.json")));
}

QUrl geocoderUrl()
{
    return QUrl(overridden("KESTROVE_GEOCODER_URL", QStringLiteral("https://nominatim.openstreetmap.org")));
}

QString tileUrlTemplate()
{
    return overridden("KESTROVE_TILE_URL", QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"));
}

QString carrierLogoAssetBaseUrl()
{
    return withoutTrailingSlash(overridden("KESTROVE_LOGO_ASSET_URL", QStringLiteral("https://res.17track.net")));
}

QString iconServiceBaseUrl()
{
    return withoutTrailingSlash(
        overridden("KESTROVE_ICON_SERVICE_URL", QStringLiteral("https://icons.duckduckgo.com")));
}

QString faviconServiceBaseUrl()
{
    return withoutTrailingSlash(overridden("KESTROVE_FAVICON_SERVICE_URL", QStringLiteral("https://www.google.com")));
}

QString carrierSiteUrl(const QString &domain)
{
    QString site = overridden("KESTROVE_CARRIER_SITE_URL", QStringLiteral("https://{domain}"));
    return withoutTrailingSlash(site.replace(QLatin1String("{domain}"), domain));
}

QUrl websiteUrl()
{
    return QUrl(QStringLiteral("https://kestrove.app"));
}

QString supportAddress()
{
    return QStringLiteral("support@kestrove.app");
}

QUrl providerWebsite(const QString &providerRawValue)
{
    if (providerRawValue == QLatin1String("ship24"))
        return QUrl(QStringLiteral("https://www.ship24.com"));
    if (providerRawValue == QLatin1String("aftership"))
        return QUrl(QStringLiteral("https://www.aftership.com"));
    if (providerRawValue == QLatin1String("trackingmore"))
        return QUrl(QStringLiteral("https://www.trackingmore.com"));
    return QUrl(QStringLiteral("https://api.17track.net"));
}

bool mayCarryCredentials(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(url.host());
    return !address.isNull() && address.isLoopback();
}
}
