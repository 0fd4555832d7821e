#pragma once

#include "model/trackingstatus.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUuid>
#include <QVariant>

#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

/** How a C++ value type is stored: its SQL declaration and the conversions both ways. */
template<typename T> struct SqlType;

template<> struct SqlType<QString> {
    static constexpr QStringView declaration = u"TEXT NOT NULL";
    // A null QString would be bound as NULL, which NOT NULL refuses.
    static QVariant bind(const QString &value)
    {
        return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
    }
    static QString read(const QVariant &value) { return value.toString(); }
};

template<> struct SqlType<std::optional<QString>> {
    static constexpr QStringView declaration = u"TEXT";
    static QVariant bind(const std::optional<QString> &value)
    {
        return value ? SqlType<QString>::bind(*value) : QVariant(QMetaType::fromType<QString>());
    }
    static std::optional<QString> read(const QVariant &value)
    {
        return value.isNull() ? std::nullopt : std::optional(value.toString());
    }
};

template<> struct SqlType<TrackingStatus> {
    static constexpr QStringView declaration = u"TEXT NOT NULL";
    static QVariant bind(TrackingStatus value) { return TrackingStatuses::rawValue(value); }
    // A raw value this build does not know (a newer one) reads as unknown.
    static TrackingStatus read(const QVariant &value)
    {
        return TrackingStatuses::fromRawValue(value.toString()).value_or(TrackingStatus::unknown);
    }
};

// Dates are stored as milliseconds since 1970 (UTC), which sorts and compares in SQL.
template<> struct SqlType<QDateTime> {
    static constexpr QStringView declaration = u"INTEGER";
    static QVariant bind(const QDateTime &value)
    {
        return value.isValid() ? QVariant(value.toMSecsSinceEpoch()) : QVariant(QMetaType::fromType<qint64>());
    }
    static QDateTime read(const QVariant &value)
    {
        return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
    }
};

template<> struct SqlType<std::optional<QDateTime>> {
    static constexpr QStringView declaration = u"INTEGER";
    static QVariant bind(const std::optional<QDateTime> &value)
    {
        return SqlType<QDateTime>::bind(value.value_or(QDateTime()));
    }
    static std::optional<QDateTime> read(const QVariant &value)
    {
        return value.isNull() ? std::nullopt : std::optional(QDateTime::fromMSecsSinceEpoch(value.toLongLong()));
    }
};

template<> struct SqlType<bool> {
    static constexpr QStringView declaration = u"INTEGER NOT NULL";
    static QVariant bind(bool value) { return int(value); }
    static bool read(const QVariant &value) { return value.toBool(); }
};

template<> struct SqlType<int> {
    static constexpr QStringView declaration = u"INTEGER NOT NULL";
    static QVariant bind(int value) { return value; }
    static int read(const QVariant &value) { return value.toInt(); }
};

template<> struct SqlType<std::optional<double>> {
    static constexpr QStringView declaration = u"REAL";
    static QVariant bind(const std::optional<double> &value)
    {
        return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
    }
    static std::optional<double> read(const QVariant &value)
    {
        return value.isNull() ? std::nullopt : std::optional(value.toDouble());
    }
};

template<> struct SqlType<QUuid> {
    static constexpr QStringView declaration = u"TEXT NOT NULL";
    static QVariant bind(const QUuid &value) { return value.toString(QUuid::WithoutBraces); }
    static QUuid read(const QVariant &value) { return QUuid::fromString(value.toString()); }
};

/**
 * One stored property of a record: the column's name, the member that holds it and what follows
 * the type in the table's declaration. A record lists its columns once, in schema order, as a
 * tuple (Record::Columns::all); the schema, row reading, value binding and the per-column dirty
 * bits (the column's position in that tuple) all come from that list.
 */
template<typename Record, typename T> struct StoreColumn {
    using Type = T;
    QStringView name;
    T Record::*member;
    QStringView constraint = {}; // "DEFAULT 1", "UNIQUE"
    int since = 1; // the schema version that added the column
};

template<typename Record, typename T>
constexpr StoreColumn<Record, T> storeColumn(QStringView name, T Record::*member, QStringView constraint = {},
                                             int since = 1)
{
    return {name, member, constraint, since};
}

namespace StoreColumns
{
/** Calls f(column, index) for every column of the tuple, in order. */
template<typename Columns, typename F> constexpr void forEach(const Columns &columns, F &&f)
{
    std::apply(
        [&](const auto &...column) {
            int index = 0;
            (f(column, index++), ...);
        },
        columns);
}

template<typename A, typename B> constexpr bool sameMember(A a, B b)
{
    if constexpr (std::is_same_v<A, B>)
        return a == b;
    else
        return false;
}

/** The position of the column that stores this member, -1 when none does. */
template<typename Columns, typename Member> constexpr int indexOf(const Columns &columns, Member member)
{
    int found = -1;
    forEach(columns, [&](const auto &column, int index) {
        if (sameMember(column.member, member))
            found = index;
    });
    return found;
}

template<typename Columns> constexpr int count(const Columns &)
{
    return int(std::tuple_size_v<Columns>);
}

constexpr quint32 bit(int index)
{
    return 1u << unsigned(index);
}

/** The names of the columns whose bit is in mask, in order. */
template<typename Columns> QStringList nameList(const Columns &columns, quint32 mask = ~0u)
{
    QStringList names;
    forEach(columns, [&](const auto &column, int index) {
        if (mask & bit(index))
            names.append(column.name.toString());
    });
    return names;
}

/** Every column name, each after prefix ("e."), separated by ", ". */
template<typename Columns> QString names(const Columns &columns, QStringView prefix = {})
{
    QStringList names = nameList(columns);
    for (QString &name : names)
        name.prepend(prefix);
    return names.join(u", ");
}

/** "name TYPE constraint" of every column added by schema version since. */
template<typename Columns> QStringList declarations(const Columns &columns, int since)
{
    QStringList declarations;
    forEach(columns, [&](const auto &column, int) {
        if (column.since != since)
            return;
        using T = typename std::decay_t<decltype(column)>::Type;
        QString declaration = column.name.toString() + QLatin1Char(' ') + SqlType<T>::declaration.toString();
        if (!column.constraint.isEmpty())
            declaration += QLatin1Char(' ') + column.constraint.toString();
        declarations.append(declaration);
    });
    return declarations;
}

/** Binds the columns whose bit is in mask, in order, as positional values. */
template<typename Columns, typename Record>
void bind(const Columns &columns, const Record &record, QSqlQuery &query, quint32 mask = ~0u)
{
    forEach(columns, [&](const auto &column, int index) {
        using T = typename std::decay_t<decltype(column)>::Type;
        if (mask & bit(index))
            query.addBindValue(SqlType<T>::bind(record.*column.member));
    });
}

/**
 * Takes the values of a row whose columns start at query column first, except those whose bit
 * is in keep (local edits not saved yet). Returns the bits of the columns that changed.
 */
template<typename Columns, typename Record>
quint32 read(const Columns &columns, Record &record, const QSqlQuery &query, int first, quint32 keep = 0)
{
    quint32 changed = 0;
    forEach(columns, [&](const auto &column, int index) {
        using T = typename std::decay_t<decltype(column)>::Type;
        if (keep & bit(index))
            return;
        T value = SqlType<T>::read(query.value(first + index));
        if (record.*column.member != value) {
            record.*column.member = std::move(value);
            changed |= bit(index);
        }
    });
    return changed;
}
}
