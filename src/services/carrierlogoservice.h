#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

/**
 * Small carrier logos for the icons of the rows and the detail pane: kept in memory for the
 * life of the process and on disk across launches. A logo is looked for in four places, in
 * order: 17TRACK's carrier-logo asset, two favicon services and the carrier's own site; the
 * first usable image wins. Every failure is silent: the caller keeps showing the carrier's symbol.
 */
class CarrierLogoService : public QObject
{
    Q_OBJECT
public:
    /** How long one source may take before the next one is tried. */
    static constexpr std::chrono::milliseconds defaultTimeout {15000};
    /** Bodies above this size are no logo; the download stops there. */
    static constexpr qint64 maximumBodySize = 4 * 1024 * 1024;

    /** network is not owned; cacheDirectory holds one "CODE.png" per logo. */
    CarrierLogoService(QNetworkAccessManager *network, QString cacheDirectory, QObject *parent = nullptr);
    ~CarrierLogoService() override;

    /** "com.kestrove.carrier-logos" inside the user's cache folder. */
    [[nodiscard]] static QString defaultCacheDirectory();

    /**
     * The logo of a carrier code (normalised first): from memory, else from disk, else from the
     * sources. Absent when the code has no source, while another fetch of it runs, or when every
     * source failed (not remembered: a later call tries again).
     */
    QCoro::Task<std::optional<QImage>> fetchLogo(QString carrierCode);

    /** The logo found in this process for a carrier code; a null image when there is none (yet). */
    [[nodiscard]] QImage logo(const QString &carrierCode) const;
    [[nodiscard]] const QHash<QString, QImage> &logos() const { return m_logos; }
    /** Normalised codes for which no source address can be formed. */
    [[nodiscard]] const QSet<QString> &permanentlySkipped() const { return m_permanentlySkipped; }
    /** Normalised codes whose fetch runs. */
    [[nodiscard]] const QSet<QString> &inFlight() const { return m_inFlight; }

    /** The source addresses of a normalised code, in the order they are tried; rawCode as the caller gave it. */
    [[nodiscard]] static QList<QUrl> sourceAddresses(const QString &normalizedCode, const QString &rawCode);

    /** Test seam: a shorter time-out per source. */
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

Q_SIGNALS:
    /** A logo for this normalised code is now in logos(). */
    void logoAdded(const QString &normalizedCode);

private:
    QCoro::Task<std::optional<QImage>> downloadImage(QUrl url, QString code);
    void remember(const QString &code, const QImage &image);

    QNetworkAccessManager *m_network;
    QString m_cacheDirectory;
    std::chrono::milliseconds m_timeout = defaultTimeout;
    QHash<QString, QImage> m_logos;
    QSet<QString> m_permanentlySkipped;
    QSet<QString> m_inFlight;
};
