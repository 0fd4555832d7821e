#pragma once

#include "base/clock.h"
#include "model/preferences.h"
#include "services/keychainmanager.h"
#include "tracking/trackingservice.h"
#include "ui/appnotifications.h"
#include "ui/screenservices.h"

#include <memory>

/**
 * The services a screen works with, wired as the application wires them (the stored key, the
 * process clock) but on a private preferences file, without desktop notifications or watching
 * for sleep. For the tests of the screens; make it after pointing the 17TRACK address elsewhere.
 */
class ScreenFixture
{
public:
    explicit ScreenFixture(const QString &preferencesPath)
        : preferences(preferencesPath)
    {
        TrackingService::Collaborators collaborators;
        collaborators.apiKey = KeychainManager::retrieveApiKey;
        collaborators.clock = Clock::shared();
        collaborators.preferences = &preferences;
        collaborators.postNotifications = false;
        collaborators.polling.observeSystemSleep = false;
        tracking = std::make_unique<TrackingService>(std::move(collaborators));
    }

    [[nodiscard]] ScreenServices services(ModelContext *context)
    {
        return {context, tracking.get(), &preferences, Clock::shared(), &requests};
    }

    Preferences preferences;
    AppNotifications requests;
    std::unique_ptr<TrackingService> tracking;
};
