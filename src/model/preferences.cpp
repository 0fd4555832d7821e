#include "model/preferences.h"

#include <QLocale>
#include <QSettings>

#include <algorithm>
#include <cmath>

const QList<Preferences::Key> &Preferences::keys()
{
    namespace K = PreferenceKeys;
    // The ranges are those the settings window offers: intervals from a minute (to a week for
    // polling), times of day within one day.
    constexpr double minute = 60;
    constexpr double day = 86400;
    constexpr double infinity = std::numeric_limits<double>::infinity();
    // name, type, settings default (invalid: not shown in settings), reader fallback, zero and below count as
    // unset, minimum, maximum, choices
    static const QList<Key> table = {
        {K::hasCompletedOnboarding, Type::flag, QVariant(), QVariant(false)},
        {K::selectedProvider,
         Type::text,
         QStringLiteral("17track"),
         QStringLiteral("17track"),
         false,
         -infinity,
         infinity,
         {QStringLiteral("17track"), QStringLiteral("ship24"), QStringLiteral("aftership"),
          QStringLiteral("trackingmore")}},
        {K::refreshInterval, Type::number, QVariant(900.0), QVariant(900.0), true, minute, 7 * day},
        {K::clipboardMonitoringEnabled, Type::flag, QVariant(false), QVariant(false)},
        {K::autoArchiveDelivered, Type::flag, QVariant(false), QVariant(false)},
        {K::autoDeleteEnabled, Type::flag, QVariant(false), QVariant(false)},
        // No maximum: a longer delay only keeps packages longer (the clean-up caps what dates can hold).
        {K::autoDeleteDelay, Type::number, QVariant(43200.0), QVariant(43200.0), true, minute},
        {K::launchAtLogin, Type::flag, QVariant(false), QVariant(false)},
        {K::notificationsEnabled, Type::flag, QVariant(true), QVariant(true)},
        {K::notifyOnStatusChange, Type::flag, QVariant(true), QVariant(true)},
        {K::soundNotifications, Type::flag, QVariant(true), QVariant(true)},
        {K::quietHoursEnabled, Type::flag, QVariant(false), QVariant(false)},
        {K::quietHoursStart, Type::number, QVariant(79200.0), QVariant(79200.0), false, 0, day - 1},
        {K::quietHoursEnd, Type::number, QVariant(25200.0), QVariant(25200.0), false, 0, day - 1},
        {K::lastUpdateCheck, Type::number, QVariant(), QVariant(0.0), false, 0},
    };
    return table;
}

const Preferences::Key *Preferences::key(const QString &name)
{
    for (const Key &entry : keys()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

Preferences::Preferences(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_settings(filePath.isEmpty()
                     ? std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                   QStringLiteral("com.kestrove.app"), QStringLiteral("Kestrove"))
                     : std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{ }

Preferences::~Preferences() = default;

QString Preferences::filePath() const
{
    return m_settings->fileName();
}

QVariant Preferences::storedValue(const QString &key) const
{
    // Another process (kestrove-cli, the application) may have written the file since the last read.
    m_settings->sync();
    return m_settings->value(key);
}

std::optional<bool> Preferences::toFlag(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        if (value.toLongLong() == 0 || value.toLongLong() == 1)
            return value.toLongLong() == 1;
        return std::nullopt;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1"))
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || text == QLatin1String("0"))
            return false;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> Preferences::toNumber(const QVariant &value)
{
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        number = value.toDouble();
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        number = QLocale::c().toDouble(value.toString().trimmed(), &ok);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<QString> Preferences::toText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray)
        return value.toString();
    return std::nullopt;
}

QVariant Preferences::value(const QString &name) const
{
    const Key *entry = key(name);
    if (!entry)
        return storedValue(name);
    const QVariant stored = storedValue(name);
    switch (entry->type) {
    case Type::flag:
        if (auto converted = toFlag(stored))
            return *converted;
        break;
    case Type::number:
        if (auto converted = toNumber(stored)) {
            if (entry->positiveOnly && *converted <= 0)
                break;
            // A hand-edited 0.001 s interval must not poll in a tight loop.
            return std::clamp(*converted, entry->minimum, entry->maximum);
        }
        break;
    case Type::text:
        if (auto converted = toText(stored);
            converted && (entry->choices.isEmpty() || entry->choices.contains(*converted)))
            return *converted;
        break;
    }
    return entry->readerFallback;
}

std::optional<bool> Preferences::flag(const QString &key) const
{
    return toFlag(storedValue(key));
}

std::optional<double> Preferences::number(const QString &key) const
{
    return toNumber(storedValue(key));
}

std::optional<QString> Preferences::text(const QString &key) const
{
    return toText(storedValue(key));
}

void Preferences::setValue(const QString &key, const QVariant &value)
{
    (void)store(key, value);
}

Result<void, QString> Preferences::store(const QString &key, const QVariant &value)
{
    m_settings->sync();
    const QVariant before = m_settings->value(key);
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError) {
        // Drop the value that only memory holds: what is read from now on is what the file holds.
        // (The native format on Linux is this INI file.)
        const QString path = m_settings->fileName();
        m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        return Result<void, QString>::failure(path + QStringLiteral(" could not be written"));
    }
    // Compare the text forms: the file gives back strings for what was written as numbers or flags.
    if (!before.isValid() || before.toString() != value.toString())
        Q_EMIT valueChanged(key);
    return {};
}

void Preferences::remove(const QString &key)
{
    m_settings->sync();
    const bool existed = m_settings->contains(key);
    m_settings->remove(key);
    m_settings->sync();
    if (existed)
        Q_EMIT valueChanged(key);
}

bool Preferences::hasCompletedOnboarding() const
{
    return value(PreferenceKeys::hasCompletedOnboarding).toBool();
}

QString Preferences::selectedProvider() const
{
    return value(PreferenceKeys::selectedProvider).toString();
}

double Preferences::refreshInterval() const
{
    return value(PreferenceKeys::refreshInterval).toDouble();
}

bool Preferences::clipboardMonitoringEnabled() const
{
    return value(PreferenceKeys::clipboardMonitoringEnabled).toBool();
}

bool Preferences::autoArchiveDelivered() const
{
    return value(PreferenceKeys::autoArchiveDelivered).toBool();
}

bool Preferences::autoDeleteEnabled() const
{
    return value(PreferenceKeys::autoDeleteEnabled).toBool();
}

double Preferences::autoDeleteDelay() const
{
    return value(PreferenceKeys::autoDeleteDelay).toDouble();
}

bool Preferences::launchAtLogin() const
{
    return value(PreferenceKeys::launchAtLogin).toBool();
}

bool Preferences::notificationsEnabled() const
{
    return value(PreferenceKeys::notificationsEnabled).toBool();
}

bool Preferences::notifyOnStatusChange() const
{
    return value(PreferenceKeys::notifyOnStatusChange).toBool();
}

bool Preferences::soundNotifications() const
{
    return value(PreferenceKeys::soundNotifications).toBool();
}

bool Preferences::quietHoursEnabled() const
{
    return value(PreferenceKeys::quietHoursEnabled).toBool();
}

double Preferences::quietHoursStart() const
{
    return value(PreferenceKeys::quietHoursStart).toDouble();
}

double Preferences::quietHoursEnd() const
{
    return value(PreferenceKeys::quietHoursEnd).toDouble();
}

double Preferences::lastUpdateCheck() const
{
    return value(PreferenceKeys::lastUpdateCheck).toDouble();
}

void Preferences::setHasCompletedOnboarding(bool value)
{
    setValue(PreferenceKeys::hasCompletedOnboarding, value);
}

void Preferences::setSelectedProvider(const QString &value)
{
    setValue(PreferenceKeys::selectedProvider, value);
}

void Preferences::setRefreshInterval(double seconds)
{
    setValue(PreferenceKeys::refreshInterval, seconds);
}

void Preferences::setClipboardMonitoringEnabled(bool value)
{
    setValue(PreferenceKeys::clipboardMonitoringEnabled, value);
}

void Preferences::setAutoArchiveDelivered(bool value)
{
    setValue(PreferenceKeys::autoArchiveDelivered, value);
}

void Preferences::setAutoDeleteEnabled(bool value)
{
    setValue(PreferenceKeys::autoDeleteEnabled, value);
}

void Preferences::setAutoDeleteDelay(double seconds)
{
    setValue(PreferenceKeys::autoDeleteDelay, seconds);
}

void Preferences::setLaunchAtLogin(bool value)
{
    setValue(PreferenceKeys::launchAtLogin, value);
}

void Preferences::setNotificationsEnabled(bool value)
{
    setValue(PreferenceKeys::notificationsEnabled, value);
}

void Preferences::setNotifyOnStatusChange(bool value)
{
    setValue(PreferenceKeys::notifyOnStatusChange, value);
}

void Preferences::setSoundNotifications(bool value)
{
    setValue(PreferenceKeys::soundNotifications, value);
}

void Preferences::setQuietHoursEnabled(bool value)
{
    setValue(PreferenceKeys::quietHoursEnabled, value);
}

void Preferences::setQuietHoursStart(double seconds)
{
    setValue(PreferenceKeys::quietHoursStart, seconds);
}

void Preferences::setQuietHoursEnd(double seconds)
{
    setValue(PreferenceKeys::quietHoursEnd, seconds);
}

void Preferences::setLastUpdateCheck(double secondsSince1970)
{
    setValue(PreferenceKeys::lastUpdateCheck, secondsSince1970);
}

Result<QVariant, QString> Preferences::parse(const Key &key, const QString &text)
{
    using R = Result<QVariant, QString>;
    switch (key.type) {
    case Type::flag: {
        const QString trimmed = text.trimmed();
        if (trimmed == QLatin1String("true"))
            return QVariant(true);
        if (trimmed == QLatin1String("false"))
            return QVariant(false);
        return R::failure(QStringLiteral("\"%1\" expects true or false, not \"%2\"").arg(key.name, text));
    }
    case Type::number: {
        bool ok = false;
        const double number = QLocale::c().toDouble(text.trimmed(), &ok);
        if (!ok || !std::isfinite(number))
            return R::failure(QStringLiteral("\"%1\" expects a number, not \"%2\"").arg(key.name, text));
        if (number < key.minimum || number > key.maximum) {
            return R::failure(QStringLiteral("\"%1\" expects a number from %2 to %3, not \"%4\"")
                                  .arg(key.name, format(key.minimum), format(key.maximum), text));
        }
        return QVariant(number);
    }
    case Type::text:
        if (!key.choices.isEmpty() && !key.choices.contains(text)) {
            return R::failure(
                QStringLiteral("\"%1\" expects one of %2, not \"%3\"").arg(key.name, key.choices.join(u", "), text));
        }
        return QVariant(text);
    }
    return R::failure(QStringLiteral("unknown type"));
}

QString Preferences::format(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Double:
    case QMetaType::Float:
        return QLocale::c().toString(value.toDouble(), 'g', 17).replace(QLatin1String("e+"), QLatin1String("e"));
    default:
        return value.toString();
    }
}
