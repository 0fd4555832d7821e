#pragma once

class ApiKeyStore;
class AppNotifications;
class CarrierLogoService;
class Clock;
class Geocoder;
class MapTileService;
class ModelContext;
class NotificationService;
class Preferences;
class TrackingService;
class UpdateChecker;

/**
 * What the screens work with. The application's composition root makes each of these once
 * and hands them down through the windows' constructors; none is owned by a screen.
 */
struct ScreenServices {
    /** The store's main context. */
    ModelContext *context = nullptr;
    TrackingService *tracking = nullptr;
    Preferences *preferences = nullptr;
    Clock *clock = nullptr;
    /** The requests between screens and the shell. */
    AppNotifications *requests = nullptr;
    /** Carrier logos for the icons; without it carriers show their symbols. */
    CarrierLogoService *logos = nullptr;
    /** The tracking API key in memory; none in screen tests, where the provider reads the keychain itself. */
    ApiKeyStore *apiKeys = nullptr;
    UpdateChecker *updates = nullptr;
    /** The desktop notifications (the introduction asks whether a server answers). */
    NotificationService *notifications = nullptr;
    /** Place look-ups and map tiles for the journey map; without both the detail pane shows no map. */
    Geocoder *geocoder = nullptr;
    MapTileService *mapTiles = nullptr;
};
