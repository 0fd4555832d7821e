#pragma once

#include <QList>
#include <QString>
#include <QToolButton>
#include <QWidget>

/**
 * A row of round swatches, one per PackageGroup::colorPalette() entry, in palette order. The
 * swatch whose hex equals selectedHex() is marked; clicking a swatch selects its hex. An empty
 * selectedHex() marks none.
 */
class GroupColorPicker : public QWidget
{
    Q_OBJECT
public:
    /** How the chosen swatch is marked: a ring around it, or a white check mark inside it. */
    enum class Marker {
        ring,
        checkmark,
    };

    /** compact: 16-pixel swatches spaced 6 apart; otherwise 20 spaced 4. */
    explicit GroupColorPicker(bool compact = false, QWidget *parent = nullptr);

    [[nodiscard]] QString selectedHex() const { return m_selectedHex; }
    /** Marks the swatch of this hex (none when no preset has it); emits nothing. */
    void setSelectedHex(const QString &hex);
    [[nodiscard]] bool isCompact() const { return m_compact; }
    void setMarker(Marker marker);
    /** The swatch buttons, in palette order (object names "colorSwatch-<preset name>"). */
    [[nodiscard]] const QList<QToolButton *> &swatches() const { return m_swatches; }

Q_SIGNALS:
    /** A swatch was clicked. */
    void colorChosen(const QString &hex);

private:
    bool m_compact;
    Marker m_marker = Marker::ring;
    QString m_selectedHex;
    QList<QToolButton *> m_swatches;
};
