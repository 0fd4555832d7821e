#pragma once

class AppNotifications;
class CarrierLogoService;
class Clock;
class ModelContext;
class Preferences;
class TrackingService;

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
};
