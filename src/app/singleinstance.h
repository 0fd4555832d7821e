#pragma once

#include <QDBusConnection>
#include <QObject>

/**
 * Keeps one Kestrove per session: the first start owns the bus name "com.kestrove.app"
 * and answers `Activate`; a later start asks it to come forward and ends, so that two
 * copies never poll and write the same store.
 */
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.kestrove.app")
public:
    static inline const QString serviceName = QStringLiteral("com.kestrove.app");
    static inline const QString objectPath = QStringLiteral("/com/kestrove/app");
    static inline const QString interfaceName = QStringLiteral("com.kestrove.app");

    enum class Role {
        /** This process owns the name and serves Activate. */
        primary,
        /** Another process owns the name and was asked to come forward: end this one. */
        secondary,
        /** No session bus, or the bus refused: run without the guarantee. */
        standalone,
    };

    explicit SingleInstance(QObject *parent = nullptr);

    /** Claims the name on the bus, or asks its owner to come forward. Waits at most a few seconds. */
    Role claim(QDBusConnection bus);

    [[nodiscard]] Role role() const { return m_role; }

public Q_SLOTS:
    /** Asked over the bus by a later start of Kestrove. */
    Q_SCRIPTABLE void Activate();

Q_SIGNALS:
    /** A later start asked this process to bring its main window forward. */
    void activationRequested();

private:
    Role m_role = Role::standalone;
};
