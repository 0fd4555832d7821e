#pragma once

#include <QString>
#include <QUrl>

/**
 * Every outside address Kestrove talks to, in one place. Each can be overridden through an
 * environment variable, so that tests and self-hosters can point Kestrove elsewhere.
 */
namespace Endpoints
{
/** 17TRACK API base ending in "/track/v2.2", without a trailing slash; KESTROVE_17TRACK_BASE_URL overrides it. */
[[nodiscard]] QString seventeenTrackBaseUrl();
/** The update manifest; KESTROVE_UPDATE_MANIFEST_URL overrides it. */
[[nodiscard]] QUrl updateManifestUrl();
/** The Nominatim geocoder root; KESTROVE_GEOCODER_URL overrides it. */
[[nodiscard]] QUrl geocoderUrl();
/** Map tile address template with {z}, {x} and {y} placeholders; KESTROVE_TILE_URL overrides it. */
[[nodiscard]] QString tileUrlTemplate();

/** Host of 17TRACK's carrier-logo assets ("/asset/carrier/logo/..."); KESTROVE_LOGO_ASSET_URL overrides it. */
[[nodiscard]] QString carrierLogoAssetBaseUrl();
/** Favicon service answering "/ip3/DOMAIN.ico"; KESTROVE_ICON_SERVICE_URL overrides it. */
[[nodiscard]] QString iconServiceBaseUrl();
/** Favicon service answering "/s2/favicons?domain=DOMAIN"; KESTROVE_FAVICON_SERVICE_URL overrides it. */
[[nodiscard]] QString faviconServiceBaseUrl();
/**
 * A carrier's own web site for a bare domain ("https://ups.com"); KESTROVE_CARRIER_SITE_URL overrides
 * it with a template in which "{domain}" stands for the domain.
 */
[[nodiscard]] QString carrierSiteUrl(const QString &domain);
/** Kestrove's own web site, the root that relative update download addresses are read against. */
[[nodiscard]] QUrl websiteUrl();
/** Where bug reports are mailed. */
[[nodiscard]] QString supportAddress();
/**
 * The sign-up site of a tracking provider, by its stored raw value ("17track", "ship24",
 * "aftership", "trackingmore"); the 17TRACK API site for anything else.
 */
[[nodiscard]] QUrl providerWebsite(const QString &providerRawValue);

/** True when a credential may be sent to this address: HTTPS, or plain HTTP to a loopback host. */
[[nodiscard]] bool mayCarryCredentials(const QUrl &url);
}
