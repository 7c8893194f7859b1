#pragma once

#include "HostExport.h"

#include <QList>
#include <QString>
#include <QVariant>

enum class ParamType { None, String, Float, DateTime, Integer };
enum class ParamDirection { Input, ReturnValue };

// One named statement parameter: its declaration (type, size, attributes) and
// the value bound to it. The declared size is documentation: values are never
// cut to it, so a long key or description reaches its column whole.
struct HOST_EXPORT SqlParameter
{
    QString name;
    ParamType declared = ParamType::None;
    int size = 0;
    bool nullable = false;
    bool isSigned = false;
    int precision = 0; // 0: none declared
    int scale = -1;    // -1: none declared
    ParamDirection direction = ParamDirection::Input;
    ParamType bound = ParamType::None; // type of the bound value
    QVariant value;                    // invalid: null

    void setAsString(const QString& v);
    void setAsFloat(double v);
    void setAsDateTime(double days);
    void setAsInteger(qint64 v);
    void setNull(ParamType asType);
    bool isNull() const { return !value.isValid(); }
};

class HOST_EXPORT SqlParameters
{
public:
    // Creates the parameters named in `sql` (":NAME" outside quotes), keeping
    // declarations of names that are still there.
    void refreshFrom(const QString& sql);
    SqlParameter& declare(const QString& name, ParamType type, int size = 0, bool nullable = false,
                          ParamDirection direction = ParamDirection::Input);
    SqlParameter& paramByName(const QString& name); // throws SqlError naming `owner`
    const SqlParameter* find(const QString& name) const;
    const QList<SqlParameter>& list() const { return m_params; }
    void setOwner(const QString& owner) { m_owner = owner; }

    // ":NAME" placeholders of a text, in order of appearance, each once.
    static QStringList placeholderNames(const QString& sql);

private:
    QList<SqlParameter> m_params;
    QString m_owner;
};
