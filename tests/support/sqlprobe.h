#pragma once

#include <QString>
#include <QVariant>

namespace TestSupport
{
/**
 * A plain SQLite connection to a store file, opened beside the code under test as another program
 * would; closing it (at destruction) checkpoints a WAL file and rolls back an open transaction.
 */
class SqlProbe
{
public:
    explicit SqlProbe(const QString &path);
    ~SqlProbe();
    SqlProbe(const SqlProbe &) = delete;
    SqlProbe &operator=(const SqlProbe &) = delete;

    /** The first column of the first row, or an invalid value when the query fails. */
    [[nodiscard]] QVariant scalar(const QString &sql) const;
    [[nodiscard]] bool exec(const QString &sql) const;

private:
    QString m_name;
};
}
