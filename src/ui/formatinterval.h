#pragma once

#include <QString>

/**
 * The short text of a duration in the settings and the package settings: "45 min", "2h",
 * "1h 30m", "1d", "1d 1h". Fractions of a minute are dropped.
 */
[[nodiscard]] QString formatInterval(qint64 seconds);
