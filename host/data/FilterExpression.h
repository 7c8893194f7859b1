#pragma once

#include "HostExport.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

// A data set filter such as "(CDFPIMPFIS <> '') AND (IDTIPORECE = '1')":
// parentheses, AND / OR / NOT, = <> < > <= >=, IS [NOT] NULL, string literals in
// single quotes ('' for a quote), numbers and field names. A null text compares
// as empty text. A malformed expression throws DataSetError saying where.
class HOST_EXPORT FilterExpression
{
public:
    using FieldLookup = std::function<QVariant(const QString& field)>;

    explicit FilterExpression(const QString& text);
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    const QString& text() const { return m_text; }
    QStringList fieldNames() const;
    bool matches(const FieldLookup& lookup) const;

    struct Node;

private:
    QString m_text;
    std::unique_ptr<Node> m_root;
};
