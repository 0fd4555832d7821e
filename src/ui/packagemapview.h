#pragma once

#include <QWidget>

class EmptyStateView;
class MapCanvas;
class MapTileService;
class PackageJourney;
class QLabel;
class QStackedLayout;

/**
 * A package's journey map as either of its two forms show it: "Loading locations..." while the
 * first places are looked up, "No Location Data" when none could be placed, else the map with
 * one marker per placed event and the route between them. Showing it (re)starts the journey's
 * geocoding run.
 */
class PackageMapView : public QWidget
{
    Q_OBJECT
public:
    enum class Form {
        embedded, // in the detail pane: rounded, a double-click asks for the full window
        full,
    };
    enum class Content {
        loading,
        noLocationData,
        map,
    };

    PackageMapView(PackageJourney *journey, MapTileService *tiles, Form form, QWidget *parent = nullptr);

    [[nodiscard]] Content content() const { return m_content; }
    [[nodiscard]] MapCanvas *canvas() const { return m_canvas; }

Q_SIGNALS:
    /** The user double-clicked the embedded map. */
    void openFullMapRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();

    PackageJourney *m_journey;
    QStackedLayout *m_stack;
    QWidget *m_loading;
    EmptyStateView *m_empty;
    MapCanvas *m_canvas;
    Content m_content = Content::loading;
    bool m_framed = false;
};
