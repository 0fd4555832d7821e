#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QVariantMap>

/**
 * Keeps one Kestrove per session: the first start owns the bus name "com.kestrove.app"
 * and answers `Activate`; a later start asks it to come forward and ends, so that two
 * copies never poll and write the same store. The same object serves
 * org.freedesktop.Application, through which launchers start and raise Kestrove.
 */
class SingleInstance : public QObject, protected QDBusContext
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
    /** A later start or the desktop asked this process to bring its main window forward. */
    void activationRequested();

private:
    friend class FreedesktopApplication;
    void claimName(QDBusConnection &bus);
    /** Emits activationRequested once the current bus call has been answered. */
    void requestActivation(const QVariantMap &platformData);

    Role m_role = Role::standalone;
};

/**
 * org.freedesktop.Application, for desktop entries with DBusActivatable=true: the launcher
 * starts Kestrove through its D-Bus activation file and calls Activate. Kestrove opens no
 * documents, so Open only brings the window forward, and it exports no actions.
 */
class FreedesktopApplication : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit FreedesktopApplication(SingleInstance *instance);

public Q_SLOTS:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(const QString &name, const QVariantList &parameter, const QVariantMap &platformData);

private:
    SingleInstance *m_instance;
};
