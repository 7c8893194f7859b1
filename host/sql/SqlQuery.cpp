#include "SqlQuery.h"

#include "SqlConnection.h"
#include "TADOSqlStorage.h"

#include <QSqlField>
#include <QSqlRecord>

namespace {
FieldDef fieldFromRecord(const QSqlField& f)
{
    FieldDef d;
    d.name = f.name().toUpper();
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
        d.type = FieldType::Integer;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        d.type = FieldType::Float;
        break;
    case QMetaType::Bool:
        d.type = FieldType::Boolean;
        break;
    case QMetaType::QDateTime:
    case QMetaType::QTime:
        d.type = FieldType::DateTime;
        break;
    case QMetaType::QDate:
        d.type = FieldType::Date;
        break;
    default:
        d.type = FieldType::String;
        d.size = f.length() > 0 ? f.length() : 0;
    }
    return d;
}
} // namespace

SqlQuery::SqlQuery(const QString& name, SqlConnection* connection, QObject* parent)
    : SqlStatement(name, connection, parent), m_rows(name)
{
}

QString SqlQuery::effectiveSql() const
{
    if (m_store && m_connection) {
        const QString t = m_store->textFor(m_connection->kind());
        if (!t.isEmpty())
            return t;
    }
    return m_sql;
}

void SqlQuery::open()
{
    if (active())
        return;
    const QString text = effectiveSql();
    if (text != m_sql && !m_declaredOnly) {
        // The dialect text may name parameters the design text lacks: declare them too.
        for (const QString& n : SqlParameters::placeholderNames(text))
            if (!m_params.find(n))
                m_params.declare(n, ParamType::None);
    }
    QSqlQuery& q = execute(text);
    const QSqlRecord rec = q.record();
    QList<FieldDef> fields;
    QList<int> columns;
    if (m_fieldDefs.isEmpty()) {
        for (int i = 0; i < rec.count(); ++i) {
            fields.append(fieldFromRecord(rec.field(i)));
            columns.append(i);
        }
    } else {
        for (const FieldDef& f : m_fieldDefs) {
            const int i = rec.indexOf(f.name);
            if (i < 0)
                fail(QStringLiteral("field %1 not found in the result").arg(f.name));
            fields.append(f);
            columns.append(i);
        }
    }
    DataPacket packet(fields);
    while (q.next()) {
        QVariantList row;
        row.reserve(fields.size());
        for (int c = 0; c < fields.size(); ++c)
            row.append(DataPacket::normalise(q.value(columns[c]), fields[c], objectName()));
        packet.rows().append(std::move(row));
    }
    q.finish();
    m_rows.setData(packet);
}

void SqlQuery::close()
{
    m_rows.close();
}
