#pragma once

#include "model/preferences.h"
#include "providers/seventeentrackprovider.h"
#include "tracking/trackingservice.h"

#include <memory>

class Clock;

namespace Cli
{
/**
 * The command line's composition root: the preferences, clock and key source one run of
 * kestrove-cli works with, made once in main() and handed to every command. Shares the
 * application's preferences file and key.
 */
class Services
{
public:
    Services();

    Services(const Services &) = delete;
    Services &operator=(const Services &) = delete;

    [[nodiscard]] Preferences &preferences() { return m_preferences; }
    [[nodiscard]] Clock &clock() { return *m_clock; }

    /** A 17TRACK client with the stored key. */
    [[nodiscard]] std::unique_ptr<SeventeenTrackProvider> makeProvider();
    /**
     * A tracking service for one command. A run ends long before any retry or poll would fire,
     * and it prints status changes rather than posting desktop notifications.
     */
    [[nodiscard]] std::unique_ptr<TrackingService> makeTrackingService();

private:
    Preferences m_preferences;
    Clock *m_clock;
};
}
