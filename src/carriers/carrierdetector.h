#pragma once

#include <QList>
#include <QString>

/** One offline guess of the carrier of a tracking number. */
struct CarrierDetectionResult {
    QString carrierCode;
    QString carrierName;
    double confidence = 0.0;

    friend bool operator==(const CarrierDetectionResult &, const CarrierDetectionResult &) = default;
};

/** Guesses carriers from the shape of a tracking number, without any network access. */
namespace CarrierDetector
{
/** Every carrier whose rule accepts the number, best first. Pure; safe from any thread. */
[[nodiscard]] QList<CarrierDetectionResult> detect(const QString &trackingNumber);
}
