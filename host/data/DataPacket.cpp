#include "DataPacket.h"

#include "DateTimeValue.h"
#include "KioskError.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const QString formatTag = QStringLiteral("kiosk-datapacket");

struct TypeName
{
    FieldType type;
    const char* name;
};
constexpr TypeName typeNames[] = {{FieldType::String, "string"},     {FieldType::Integer, "integer"},
                                  {FieldType::Float, "float"},       {FieldType::Boolean, "boolean"},
                                  {FieldType::DateTime, "datetime"}, {FieldType::Date, "date"}};

[[noreturn]] void fail(const QString& origin, const QString& what)
{
    throw DataSetError(origin.isEmpty() ? what : origin + QStringLiteral(": ") + what);
}

QJsonValue encodeValue(const QVariant& v, FieldType type)
{
    if (!v.isValid() || v.isNull())
        return QJsonValue::Null;
    switch (type) {
    case FieldType::String:
        return v.toString();
    case FieldType::Integer:
        return double(v.toLongLong());
    case FieldType::Float:
        return v.toDouble();
    case FieldType::Boolean:
        return v.toBool();
    case FieldType::DateTime:
        return DateTimeValue::toIsoText(v.toDouble());
    case FieldType::Date:
        return DateTimeValue::toDateTime(v.toDouble()).date().toString(Qt::ISODate);
    }
    return QJsonValue::Null;
}
} // namespace

FieldDef FieldDef::make(const QString& name, FieldType type, int size)
{
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

QString fieldTypeName(FieldType type)
{
    for (const auto& t : typeNames)
        if (t.type == type)
            return QString::fromLatin1(t.name);
    return QString();
}

bool fieldTypeFromName(const QString& name, FieldType* type)
{
    for (const auto& t : typeNames)
        if (name == QLatin1String(t.name)) {
            *type = t.type;
            return true;
        }
    return false;
}

int DataPacket::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataPacket::appendRow(QVariantList row)
{
    while (row.size() < m_fields.size())
        row.append(QVariant());
    m_rows.append(std::move(row));
}

QVariant DataPacket::normalise(const QVariant& value, const FieldDef& field, const QString& origin)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    const auto bad = [&]() {
        fail(origin, QStringLiteral("field %1: value \"%2\" is not a %3")
                         .arg(field.name, value.toString(), fieldTypeName(field.type)));
    };
    const int id = value.metaType().id();
    const bool isText = id == QMetaType::QString || id == QMetaType::QByteArray;
    bool ok = true;
    switch (field.type) {
    case FieldType::String:
        if (id == QMetaType::QDateTime)
            return DateTimeValue::toIsoText(DateTimeValue::fromDateTime(value.toDateTime()));
        return value.toString();
    case FieldType::Integer: {
        if (id == QMetaType::Double) {
            const double d = value.toDouble();
            if (d != qint64(d))
                bad();
            return qint64(d);
        }
        const qint64 n = isText ? value.toString().trimmed().toLongLong(&ok) : value.toLongLong(&ok);
        if (!ok)
            bad();
        return n;
    }
    case FieldType::Float: {
        const double d = isText ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
        if (!ok)
            bad();
        return d;
    }
    case FieldType::Boolean:
        if (isText) {
            const QString t = value.toString().trimmed().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("s"))
                return true;
            if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("n"))
                return false;
            bad();
        }
        if (id == QMetaType::Bool || id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::Double)
            return value.toBool();
        bad();
        return QVariant();
    case FieldType::DateTime:
    case FieldType::Date: {
        double days = 0;
        if (id == QMetaType::QDateTime)
            days = DateTimeValue::fromDateTime(value.toDateTime());
        else if (id == QMetaType::QDate)
            days = DateTimeValue::fromDate(value.toDate());
        else if (isText) {
            if (value.toString().trimmed().isEmpty())
                return QVariant();
            if (!DateTimeValue::parseIsoText(value.toString(), &days))
                bad();
        } else {
            days = value.toDouble(&ok);
            if (!ok)
                bad();
        }
        return field.type == FieldType::Date ? DateTimeValue::dateOnly(days) : days;
    }
    }
    return value;
}

QByteArray DataPacket::toJson(bool indented) const
{
    QJsonArray fields;
    for (const FieldDef& f : m_fields) {
        QJsonObject o{{QStringLiteral("name"), f.name}, {QStringLiteral("type"), fieldTypeName(f.type)}};
        if (f.size > 0)
            o.insert(QStringLiteral("size"), f.size);
        if (!f.visible)
            o.insert(QStringLiteral("visible"), false);
        if (f.readOnly)
            o.insert(QStringLiteral("readOnly"), true);
        if (!f.displayLabel.isEmpty())
            o.insert(QStringLiteral("label"), f.displayLabel);
        if (!f.displayFormat.isEmpty())
            o.insert(QStringLiteral("format"), f.displayFormat);
        fields.append(o);
    }
    QJsonArray rows;
    for (const QVariantList& r : m_rows) {
        QJsonArray row;
        for (int i = 0; i < m_fields.size(); ++i)
            row.append(encodeValue(i < r.size() ? r[i] : QVariant(), m_fields[i].type));
        rows.append(row);
    }
    const QJsonObject root{{QStringLiteral("format"), formatTag},
                           {QStringLiteral("version"), 1},
                           {QStringLiteral("fields"), fields},
                           {QStringLiteral("rows"), rows}};
    return QJsonDocument(root).toJson(indented ? QJsonDocument::Indented : QJsonDocument::Compact);
}

DataPacket DataPacket::fromJson(const QByteArray& json, const QString& origin)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError)
        fail(origin, QStringLiteral("not a data packet (JSON error at offset %1: %2)")
                         .arg(err.offset)
                         .arg(err.errorString()));
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QStringLiteral("format")).toString() != formatTag)
        fail(origin, QStringLiteral("not a data packet (format tag \"%1\" missing)").arg(formatTag));
    if (!root.value(QStringLiteral("fields")).isArray())
        fail(origin, QStringLiteral("data packet without a field list"));

    DataPacket p;
    for (const QJsonValue& fv : root.value(QStringLiteral("fields")).toArray()) {
        const QJsonObject o = fv.toObject();
        FieldDef f;
        f.name = o.value(QStringLiteral("name")).toString();
        if (f.name.isEmpty())
            fail(origin, QStringLiteral("field %1 has no name").arg(p.m_fields.size() + 1));
        const QString typeName = o.value(QStringLiteral("type")).toString();
        if (!fieldTypeFromName(typeName, &f.type))
            fail(origin, QStringLiteral("field %1: unknown type \"%2\"").arg(f.name, typeName));
        f.size = o.value(QStringLiteral("size")).toInt(0);
        f.visible = o.value(QStringLiteral("visible")).toBool(true);
        f.readOnly = o.value(QStringLiteral("readOnly")).toBool(false);
        f.displayLabel = o.value(QStringLiteral("label")).toString();
        f.displayFormat = o.value(QStringLiteral("format")).toString();
        if (p.fieldIndex(f.name) >= 0)
            fail(origin, QStringLiteral("field %1 appears twice").arg(f.name));
        p.m_fields.append(f);
    }
    // A packet without its record list is damaged, not empty: reading it as empty would lose its records.
    const QJsonValue rowsValue = root.value(QStringLiteral("rows"));
    if (rowsValue.isUndefined())
        fail(origin, QStringLiteral("data packet without a record list (\"rows\" missing)"));
    if (!rowsValue.isArray())
        fail(origin, QStringLiteral("data packet whose record list (\"rows\") is not a list"));
    const QJsonArray rows = rowsValue.toArray();
    int rowNo = 0;
    for (const QJsonValue& rv : rows) {
        ++rowNo;
        if (!rv.isArray())
            fail(origin, QStringLiteral("record %1 is not a list of values").arg(rowNo));
        const QJsonArray cells = rv.toArray();
        if (cells.size() != p.m_fields.size())
            fail(origin, QStringLiteral("record %1 has %2 values for %3 fields")
                             .arg(rowNo)
                             .arg(cells.size())
                             .arg(p.m_fields.size()));
        QVariantList row;
        row.reserve(cells.size());
        for (int i = 0; i < cells.size(); ++i) {
            const QJsonValue c = cells[i];
            const FieldDef& f = p.m_fields[i];
            const bool typeOk = c.isNull() || (f.type == FieldType::String && c.isString()) ||
                                ((f.type == FieldType::Integer || f.type == FieldType::Float) && c.isDouble()) ||
                                (f.type == FieldType::Boolean && c.isBool()) ||
                                ((f.type == FieldType::DateTime || f.type == FieldType::Date) && c.isString());
            if (!typeOk)
                fail(origin, QStringLiteral("record %1, field %2: value of the wrong type for %3")
                                 .arg(rowNo)
                                 .arg(f.name, fieldTypeName(f.type)));
            row.append(normalise(c.toVariant(), f, origin + QStringLiteral(", record %1").arg(rowNo)));
        }
        p.m_rows.append(std::move(row));
    }
    return p;
}

DataPacket DataPacket::loadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(path, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    return fromJson(file.readAll(), path);
}

void DataPacket::saveFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson(true)) < 0 || !file.commit())
        fail(path, QStringLiteral("cannot be written (%1)").arg(file.errorString()));
}

namespace PacketVariant {
bool isPacket(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<DataPacket>();
}

DataPacket packet(const QVariant& v)
{
    if (!isPacket(v))
        throw DataSetError(v.metaType().id() == QMetaType::QString
                               ? QStringLiteral("expected a data packet, got the text \"%1\"").arg(v.toString())
                               : QStringLiteral("expected a data packet"));
    return v.value<DataPacket>();
}

QVariant of(const DataPacket& p)
{
    return QVariant::fromValue(p);
}
} // namespace PacketVariant
