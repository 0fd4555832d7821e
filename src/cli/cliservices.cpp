#include "cli/cliservices.h"

#include "base/clock.h"
#include "services/keychainmanager.h"

namespace Cli
{
Services::Services()
    // The model stamps new records with the process clock; the commands keep the same time.
    : m_clock(Clock::shared())
{ }

std::unique_ptr<SeventeenTrackProvider> Services::makeProvider()
{
    SeventeenTrackProvider::Options options;
    options.clock = m_clock;
    options.apiKey = KeychainManager::retrieveApiKey;
    return std::make_unique<SeventeenTrackProvider>(std::move(options));
}

std::unique_ptr<TrackingService> Services::makeTrackingService()
{
    TrackingService::Collaborators collaborators;
    collaborators.apiKey = KeychainManager::retrieveApiKey;
    collaborators.clock = m_clock;
    collaborators.preferences = &m_preferences;
    collaborators.postNotifications = false;
    collaborators.backgroundRetries = false;
    collaborators.polling.observeSystemSleep = false;
    return std::make_unique<TrackingService>(std::move(collaborators));
}
}
