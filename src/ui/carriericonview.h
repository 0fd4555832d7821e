#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class CarrierLogoService;

/**
 * A carrier's icon: the package's own picture when it has one, else the carrier's logo when
 * one is known, else the carrier's symbol in white on a disc of the carrier's colour. Once
 * shown it asks the logo service for the carrier's logo and redraws when it arrives.
 * The static paint() draws it into list rows.
 */
class CarrierIconView : public QWidget
{
    Q_OBJECT
public:
    enum class IconSize {
        small,
        medium,
        large,
    };

    /** logos (not owned) may be nullptr: the carrier's symbol is shown then. */
    explicit CarrierIconView(const QString &carrierCode = {}, IconSize size = IconSize::small,
                             const std::optional<QByteArray> &customImageData = std::nullopt,
                             CarrierLogoService *logos = nullptr, QWidget *parent = nullptr);

    void setCarrierCode(const QString &code);
    void setCustomImageData(const std::optional<QByteArray> &data);

    [[nodiscard]] QSize sizeHint() const override;

    /** The frame edge: 24, 36 or 48. */
    [[nodiscard]] static int frameSize(IconSize size);
    /** The corner radius of a picture: a fifth of the frame. */
    [[nodiscard]] static qreal cornerRadius(IconSize size);
    /** The colour behind a carrier's symbol, from its normalised code. */
    [[nodiscard]] static QColor carrierColor(const QString &carrierCode, const QPalette &palette);

    /**
     * Draws the icon into the square at topLeft. customImageKey identifies the picture bytes
     * for the decoded-image cache (the package's identity, say); customImageData is only read
     * when the cache has nothing under the key. logo is the carrier's logo, or a null image.
     */
    static void paint(QPainter &painter, const QPoint &topLeft, IconSize size, const QString &carrierCode,
                      const std::function<std::optional<QByteArray>()> &customImageData, const QString &customImageKey,
                      const QPalette &palette, qreal devicePixelRatio, const QImage &logo = {});

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void requestLogo();

    QPointer<CarrierLogoService> m_logos;
    QString m_carrierCode;
    IconSize m_size;
    std::optional<QByteArray> m_customImage;
    QString m_imageKey;
};
