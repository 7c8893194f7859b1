#pragma once

#include "ClientDataSet.h"
#include "SqlStatement.h"

class TADOSqlStorage;

// A SELECT whose rows are fetched whole when it opens (client-side cursor) and
// read through the same cursor and typed fields as a client data set.
class HOST_EXPORT SqlQuery : public SqlStatement
{
    Q_OBJECT
public:
    SqlQuery(const QString& name, SqlConnection* connection, QObject* parent = nullptr);

    // Persistent fields: the result carries exactly these, typed as declared.
    void setFieldDefs(QList<FieldDef> defs) { m_fieldDefs = std::move(defs); }
    // A dialect store that supplies the text for the engine in use.
    void setDialectStore(TADOSqlStorage* store) { m_store = store; }
    TADOSqlStorage* dialectStore() const { return m_store; }
    // The text the query runs on the connection's engine.
    QString effectiveSql() const;

    void open();
    void close();
    bool active() const { return m_rows.active(); }
    DataPacket packet() const { return m_rows.data(); }

    void first() { m_rows.first(); }
    void next() { m_rows.next(); }
    bool eof() const { return m_rows.eof(); }
    int recordCount() const { return m_rows.recordCount(); }
    Field fieldByName(const QString& name) { return m_rows.fieldByName(name); }

private:
    QList<FieldDef> m_fieldDefs;
    TADOSqlStorage* m_store = nullptr;
    ClientDataSet m_rows;
};
