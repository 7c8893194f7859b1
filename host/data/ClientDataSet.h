#pragma once

#include "DataPacket.h"
#include "HostExport.h"

#include <QObject>
#include <memory>

class ClientDataSet;
class FilterExpression;

// Typed access to one field of a data set's current record. Reads of null give
// "" for text, 0 for numbers and date-times, false for booleans.
class HOST_EXPORT Field
{
public:
    Field(ClientDataSet* dataSet, int index) : m_ds(dataSet), m_index(index) {}

    const FieldDef& def() const;
    QString name() const { return def().name; }
    QVariant value() const; // invalid when null
    bool isNull() const { return !value().isValid(); }
    QString asString() const;
    qint64 asInteger() const;
    double asFloat() const;
    bool asBoolean() const;
    double asDateTime() const;

    void setValue(const QVariant& v);
    void setAsString(const QString& v) { setValue(v); }
    void setAsInteger(qint64 v) { setValue(v); }
    void setAsFloat(double v) { setValue(v); }
    void setAsBoolean(bool v) { setValue(v); }
    void setAsDateTime(double v) { setValue(v); }
    void clear() { setValue(QVariant()); }

private:
    [[noreturn]] void cannotRead(const char* as) const;
    ClientDataSet* m_ds;
    int m_index;
};

// An in-memory table: field descriptors, records, a cursor, a filter, indexes
// and an edit buffer. Content arrives whole (a packet, a file, or empty from the
// persistent fields) and leaves whole as a packet.
class HOST_EXPORT ClientDataSet : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit ClientDataSet(const QString& name, QObject* parent = nullptr);
    ~ClientDataSet() override;

    // Persistent fields: the structure this data set insists on. Content loaded
    // into it must carry each of them (by name and type).
    void setFieldDefs(QList<FieldDef> defs) { m_persistent = std::move(defs); }
    const QList<FieldDef>& fieldDefs() const { return m_persistent; }
    // Declared types of fields the data set reads, which a packet need not carry: a field of one
    // of these names arriving as text (or as a narrower kind) is converted on arrival, read in the
    // packet's own format (C locale, ISO); a value that does not convert refuses the packet.
    void setFieldTypes(QList<FieldDef> defs) { m_declaredTypes = std::move(defs); }
    const QList<FieldDef>& fields() const { return m_content.fields(); }
    int fieldCount() const { return int(m_content.fields().size()); }

    void setData(const DataPacket& packet, const QString& origin = QString());
    void setData(const QVariant& packet);
    DataPacket data() const; // every record in storage order, whatever the filter
    void loadFromFile(const QString& path);
    void createDataSet();
    void open();
    void close();
    bool active() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    QString fileName() const { return m_origin; }

    void first();
    void next();
    void last();
    bool eof() const;
    bool isEmpty() const { return m_view.isEmpty(); }
    int recordCount() const { return int(m_view.size()); }
    int recNo() const { return m_cursor + 1; } // 1-based within the current view
    bool locate(const QString& field, const QVariant& value);

    void setFilter(const QString& expression);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // fields and descFields are ";"-separated field names.
    void addIndex(const QString& name, const QString& fields, const QString& descFields = QString());
    void setIndexName(const QString& name);
    QString indexName() const { return m_indexName; }

    void insert();
    void append() { insert(); }
    void edit();
    void post();
    void cancel();

    Field fieldByName(const QString& name);
    Field field(int index);

    QString describe() const; // "name (file)" for error texts

private:
    friend class Field;
    struct Index
    {
        QString name;
        QStringList fields;
        QStringList descending;
    };

    void requireActive(const char* what) const;
    DataPacket withDeclaredTypes(const DataPacket& packet, const QString& origin) const;
    void rebuildView(int keepRow = -1);
    QVariant currentValue(int index) const;
    void setCurrentValue(int index, const QVariant& v);
    [[noreturn]] void fail(const QString& what) const;

    QList<FieldDef> m_persistent;
    QList<FieldDef> m_declaredTypes;
    DataPacket m_content;
    QString m_origin;
    State m_state = State::Inactive;
    QList<int> m_view; // storage rows in index order, filtered
    int m_cursor = 0;  // position in m_view; == size() is end of data
    QVariantList m_buffer;
    int m_editRow = -1;
    QString m_filterText;
    std::unique_ptr<FilterExpression> m_filter;
    bool m_filtered = false;
    QList<Index> m_indexes;
    QString m_indexName;
};
