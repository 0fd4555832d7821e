#include "sqlprobe.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace TestSupport
{
SqlProbe::SqlProbe(const QString &path)
{
    static int counter = 0;
    m_name = QStringLiteral("sql-probe-%1").arg(++counter);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.open();
}

SqlProbe::~SqlProbe()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QVariant SqlProbe::scalar(const QString &sql) const
{
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

bool SqlProbe::exec(const QString &sql) const
{
    return QSqlQuery(QSqlDatabase::database(m_name, false)).exec(sql);
}
}
