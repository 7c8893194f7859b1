#include "ClientDataSet.h"

#include "DateTimeValue.h"
#include "FilterExpression.h"
#include "KioskError.h"

#include <algorithm>

namespace {
int compareValues(const QVariant& a, const QVariant& b)
{
    const bool an = !a.isValid(), bn = !b.isValid();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1); // nulls sort first
    const int id = a.metaType().id();
    if (id == QMetaType::QString)
        return QString::compare(a.toString(), b.toString());
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}
} // namespace

// ---- Field ------------------------------------------------------------------

const FieldDef& Field::def() const
{
    return m_ds->m_content.fields()[m_index];
}

QVariant Field::value() const
{
    return m_ds->currentValue(m_index);
}

void Field::cannotRead(const char* as) const
{
    m_ds->fail(QStringLiteral("field %1: value \"%2\" cannot be read as %3")
                   .arg(name(), value().toString(), QString::fromLatin1(as)));
}

QString Field::asString() const
{
    const QVariant v = value();
    if (!v.isValid())
        return QString();
    // Text read from a number or a date-time is in the packet's own format (C locale, ISO), never the
    // kiosk's: it may well be written to the store.
    switch (def().type) {
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    case FieldType::DateTime:
        return DateTimeValue::toDateTime(v.toDouble()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case FieldType::Date:
        return DateTimeValue::toDateTime(v.toDouble()).date().toString(Qt::ISODate);
    case FieldType::Boolean:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    switch (def().type) {
    case FieldType::String: {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            cannotRead("an integer");
        return n;
    }
    case FieldType::Float:
    case FieldType::DateTime:
    case FieldType::Date:
        return qint64(v.toDouble());
    default:
        return v.toLongLong();
    }
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0.0;
    if (def().type == FieldType::String) {
        // C locale only: "1.250" is one and a quarter whatever the kiosk's language.
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            cannotRead("a float");
        return d;
    }
    if (def().type == FieldType::Boolean)
        cannotRead("a float");
    return v.toDouble();
}

bool Field::asBoolean() const
{
    const QVariant v = value();
    if (!v.isValid())
        return false;
    if (def().type == FieldType::Boolean)
        return v.toBool();
    if (def().type == FieldType::String) {
        const QString t = v.toString().trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("s") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("n") || t == QLatin1String("0") || t.isEmpty())
            return false;
        cannotRead("a boolean");
    }
    if (def().type == FieldType::Integer)
        return v.toLongLong() != 0;
    cannotRead("a boolean");
}

double Field::asDateTime() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0.0;
    switch (def().type) {
    case FieldType::DateTime:
    case FieldType::Date:
    case FieldType::Float:
    case FieldType::Integer:
        return v.toDouble();
    case FieldType::String: {
        double days = 0;
        if (v.toString().trimmed().isEmpty())
            return 0.0;
        // ISO text only: a regional short date ("12/8/26") reads differently in every locale.
        if (DateTimeValue::parseIsoText(v.toString(), &days))
            return days;
        cannotRead("a date-time");
    }
    default:
        cannotRead("a date-time");
    }
}

void Field::setValue(const QVariant& v)
{
    m_ds->setCurrentValue(m_index, v);
}

// ---- ClientDataSet ----------------------------------------------------------

ClientDataSet::ClientDataSet(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
}

ClientDataSet::~ClientDataSet() = default;

QString ClientDataSet::describe() const
{
    return m_origin.isEmpty() ? objectName() : QStringLiteral("%1 (%2)").arg(objectName(), m_origin);
}

void ClientDataSet::fail(const QString& what) const
{
    throw DataSetError(describe() + QStringLiteral(": ") + what);
}

void ClientDataSet::requireActive(const char* what) const
{
    if (m_state == State::Inactive)
        fail(QStringLiteral("cannot %1: the data set is closed").arg(QString::fromLatin1(what)));
}

void ClientDataSet::setData(const QVariant& packet)
{
    if (!PacketVariant::isPacket(packet))
        fail(packet.metaType().id() == QMetaType::QString
                 ? QStringLiteral("expected a data packet, got the text \"%1\"").arg(packet.toString())
                 : QStringLiteral("expected a data packet"));
    setData(packet.value<DataPacket>());
}

DataPacket ClientDataSet::withDeclaredTypes(const DataPacket& packet, const QString& origin) const
{
    DataPacket typed(packet);
    QList<FieldDef> fields = packet.fields();
    const QString where = origin.isEmpty() ? objectName() : QStringLiteral("%1 (%2)").arg(objectName(), origin);
    for (const FieldDef& want : m_declaredTypes) {
        const int i = packet.fieldIndex(want.name);
        if (i < 0 || fields[i].type == want.type)
            continue;
        const FieldType got = fields[i].type;
        const bool convertible = got == FieldType::String ||
                                 (want.type == FieldType::Float && got == FieldType::Integer) ||
                                 (want.type == FieldType::DateTime && got == FieldType::Date);
        if (!convertible)
            throw DataSetError(QStringLiteral("%1: field %2 is %3, expected %4")
                                   .arg(where, fields[i].name, fieldTypeName(got), fieldTypeName(want.type)));
        fields[i].type = want.type;
        fields[i].size = 0;
        for (QVariantList& row : typed.rows())
            row[i] = DataPacket::normalise(row[i], fields[i], where);
    }
    DataPacket out(fields);
    out.rows() = typed.rows();
    return out;
}

void ClientDataSet::setData(const DataPacket& incoming, const QString& origin)
{
    const DataPacket packet = m_declaredTypes.isEmpty() ? incoming : withDeclaredTypes(incoming, origin);
    m_origin = origin;
    for (const FieldDef& want : m_persistent) {
        const int i = packet.fieldIndex(want.name);
        if (i < 0)
            fail(QStringLiteral("field %1 not found").arg(want.name));
        const FieldType got = packet.fields()[i].type;
        const bool compatible = got == want.type || (want.type == FieldType::DateTime && got == FieldType::Date) ||
                                (want.type == FieldType::Float && got == FieldType::Integer);
        if (!compatible)
            fail(QStringLiteral("field %1 is %2, expected %3")
                     .arg(want.name, fieldTypeName(got), fieldTypeName(want.type)));
    }
    m_content = packet;
    m_state = State::Browse;
    m_editRow = -1;
    rebuildView();
}

DataPacket ClientDataSet::data() const
{
    return m_content;
}

void ClientDataSet::loadFromFile(const QString& path)
{
    setData(DataPacket::loadFile(path), path);
}

void ClientDataSet::createDataSet()
{
    if (m_persistent.isEmpty())
        fail(QStringLiteral("cannot be created: it has no field definitions"));
    setData(DataPacket(m_persistent));
}

void ClientDataSet::open()
{
    if (m_state == State::Inactive) {
        if (m_content.fields().isEmpty())
            fail(QStringLiteral("cannot be opened: it has no content"));
        m_state = State::Browse;
        rebuildView();
    }
}

void ClientDataSet::close()
{
    m_state = State::Inactive;
    m_view.clear();
    m_cursor = 0;
}

void ClientDataSet::rebuildView(int keepRow)
{
    m_view.clear();
    const auto& rows = m_content.rows();
    for (int r = 0; r < rows.size(); ++r) {
        if (m_filtered && m_filter) {
            const QVariantList& row = rows[r];
            const bool keep = m_filter->matches([&](const QString& name) {
                const int i = m_content.fieldIndex(name);
                if (i < 0)
                    fail(QStringLiteral("filter field %1 not found").arg(name));
                const QVariant& v = row[i];
                if (!v.isValid() && m_content.fields()[i].type == FieldType::String)
                    return QVariant(QString());
                return v;
            });
            if (!keep)
                continue;
        }
        m_view.append(r);
    }
    if (!m_indexName.isEmpty()) {
        const auto it = std::find_if(m_indexes.begin(), m_indexes.end(),
                                     [&](const Index& ix) { return ix.name == m_indexName; });
        QList<QPair<int, bool>> keys; // field index, descending
        for (const QString& f : it->fields) {
            const int i = m_content.fieldIndex(f);
            if (i < 0)
                fail(QStringLiteral("index %1: field %2 not found").arg(m_indexName, f));
            keys.append({i, it->descending.contains(f, Qt::CaseInsensitive)});
        }
        std::stable_sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (const auto& [i, desc] : keys) {
                const int c = compareValues(rows[a][i], rows[b][i]);
                if (c != 0)
                    return desc ? c > 0 : c < 0;
            }
            return false;
        });
    }
    m_cursor = 0;
    if (keepRow >= 0) {
        const int at = int(m_view.indexOf(keepRow));
        if (at >= 0)
            m_cursor = at;
    }
}

void ClientDataSet::first()
{
    requireActive("move");
    m_cursor = 0;
}

void ClientDataSet::next()
{
    requireActive("move");
    if (m_cursor < m_view.size())
        ++m_cursor;
}

void ClientDataSet::last()
{
    requireActive("move");
    m_cursor = m_view.isEmpty() ? 0 : int(m_view.size()) - 1;
}

bool ClientDataSet::eof() const
{
    return m_state == State::Inactive || m_cursor >= m_view.size();
}

bool ClientDataSet::locate(const QString& fieldName, const QVariant& value)
{
    requireActive("locate");
    const int i = m_content.fieldIndex(fieldName);
    if (i < 0)
        fail(QStringLiteral("field %1 not found").arg(fieldName));
    const QVariant want = DataPacket::normalise(value, m_content.fields()[i], describe());
    for (int p = 0; p < m_view.size(); ++p) {
        if (compareValues(m_content.rows()[m_view[p]][i], want) == 0) {
            m_cursor = p;
            return true;
        }
    }
    return false;
}

void ClientDataSet::setFilter(const QString& expression)
{
    m_filterText = expression;
    m_filter = expression.trimmed().isEmpty() ? nullptr : std::make_unique<FilterExpression>(expression);
    if (m_filtered && active())
        rebuildView();
}

void ClientDataSet::setFiltered(bool on)
{
    m_filtered = on;
    if (active())
        rebuildView();
}

void ClientDataSet::addIndex(const QString& name, const QString& fields, const QString& descFields)
{
    m_indexes.append({name, fields.split(QLatin1Char(';'), Qt::SkipEmptyParts),
                      descFields.split(QLatin1Char(';'), Qt::SkipEmptyParts)});
}

void ClientDataSet::setIndexName(const QString& name)
{
    if (!name.isEmpty() &&
        std::none_of(m_indexes.begin(), m_indexes.end(), [&](const Index& ix) { return ix.name == name; }))
        fail(QStringLiteral("index %1 not found").arg(name));
    m_indexName = name;
    if (active())
        rebuildView();
}

void ClientDataSet::insert()
{
    requireActive("insert");
    if (m_state != State::Browse)
        post();
    m_buffer = QVariantList(m_content.fields().size());
    m_editRow = -1;
    m_state = State::Insert;
}

void ClientDataSet::edit()
{
    requireActive("edit");
    if (m_state != State::Browse)
        return;
    if (eof())
        fail(QStringLiteral("cannot edit: no current record"));
    m_editRow = m_view[m_cursor];
    m_buffer = m_content.rows()[m_editRow];
    m_state = State::Edit;
}

void ClientDataSet::post()
{
    if (m_state == State::Insert) {
        m_content.rows().append(m_buffer);
        m_state = State::Browse;
        rebuildView(int(m_content.rows().size()) - 1);
    } else if (m_state == State::Edit) {
        m_content.rows()[m_editRow] = m_buffer;
        m_state = State::Browse;
        rebuildView(m_editRow);
    }
    m_buffer.clear();
    m_editRow = -1;
}

void ClientDataSet::cancel()
{
    if (m_state == State::Insert || m_state == State::Edit)
        m_state = State::Browse;
    m_buffer.clear();
}

Field ClientDataSet::fieldByName(const QString& name)
{
    const int i = m_content.fieldIndex(name);
    if (i < 0)
        fail(QStringLiteral("field %1 not found").arg(name));
    return Field(this, i);
}

Field ClientDataSet::field(int index)
{
    if (index < 0 || index >= m_content.fields().size())
        fail(QStringLiteral("field number %1 out of range").arg(index));
    return Field(this, index);
}

QVariant ClientDataSet::currentValue(int index) const
{
    if (m_state == State::Insert || m_state == State::Edit)
        return m_buffer[index];
    if (m_state == State::Inactive)
        fail(QStringLiteral("cannot read field %1: the data set is closed").arg(m_content.fields()[index].name));
    if (m_cursor >= m_view.size())
        return QVariant(); // no current record: every field reads as null
    return m_content.rows()[m_view[m_cursor]][index];
}

void ClientDataSet::setCurrentValue(int index, const QVariant& v)
{
    if (m_state != State::Insert && m_state != State::Edit)
        fail(QStringLiteral("cannot write field %1: not inserting or editing").arg(m_content.fields()[index].name));
    const FieldDef& def = m_content.fields()[index];
    QVariant stored = DataPacket::normalise(v, def, describe());
    if (def.type == FieldType::String && stored.isValid() && def.size > 0 && stored.toString().size() > def.size)
        fail(QStringLiteral("field %1: \"%2\" is longer than %3 characters")
                 .arg(def.name, stored.toString())
                 .arg(def.size));
    m_buffer[index] = stored;
}
