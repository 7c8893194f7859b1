#pragma once

#include "HostExport.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

enum class FieldType { String, Integer, Float, Boolean, DateTime, Date };

HOST_EXPORT QString fieldTypeName(FieldType type);
HOST_EXPORT bool fieldTypeFromName(const QString& name, FieldType* type);

// Descriptor of one field: what a packet carries before its records.
struct HOST_EXPORT FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters for strings; 0 elsewhere or when unbounded
    bool visible = true;
    bool readOnly = false;
    QString displayLabel;
    QString displayFormat;

    bool operator==(const FieldDef&) const = default;

    static FieldDef make(const QString& name, FieldType type, int size = 0);
};

// The whole content of a client data set: field descriptors in order, then the
// records, each a list of nullable values (an invalid QVariant is null). Values
// are stored as QString, qint64, double, bool, or double days for date-times.
class HOST_EXPORT DataPacket
{
public:
    DataPacket() = default;
    explicit DataPacket(QList<FieldDef> fields) : m_fields(std::move(fields)) {}

    const QList<FieldDef>& fields() const { return m_fields; }
    const QList<QVariantList>& rows() const { return m_rows; }
    QList<QVariantList>& rows() { return m_rows; }
    int fieldIndex(const QString& name) const; // -1 when absent; names compare case-insensitively
    bool isEmpty() const { return m_fields.isEmpty() && m_rows.isEmpty(); }
    void appendRow(QVariantList row);

    // UTF-8 JSON: {"format":"kiosk-datapacket","version":1,"fields":[...],"rows":[[...]]}.
    QByteArray toJson(bool indented = false) const;
    // `origin` names the source (a file, a method) in error texts.
    static DataPacket fromJson(const QByteArray& json, const QString& origin);
    static DataPacket loadFile(const QString& path);
    void saveFile(const QString& path) const;

    // Turns a raw value into the stored form of `type`; throws DataSetError naming the field.
    static QVariant normalise(const QVariant& value, const FieldDef& field, const QString& origin);

    bool operator==(const DataPacket&) const = default;

private:
    QList<FieldDef> m_fields;
    QList<QVariantList> m_rows;
};

Q_DECLARE_METATYPE(DataPacket)

// Helpers for the variant that carries a packet, a failure text, or nothing.
namespace PacketVariant {
HOST_EXPORT bool isPacket(const QVariant& v);
HOST_EXPORT DataPacket packet(const QVariant& v); // throws DataSetError when v holds no packet
HOST_EXPORT QVariant of(const DataPacket& p);
} // namespace PacketVariant
