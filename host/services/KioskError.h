#pragma once

#include "HostExport.h"

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every failure raised by the host library and the module. Carries a
// readable text; what() gives it as UTF-8 for code that only knows std::exception.
class HOST_EXPORT KioskError : public std::exception
{
public:
    explicit KioskError(QString message);
    ~KioskError() override;
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A data set or data packet was used in a way its content does not allow
// (missing field, wrong type, bad file, bad filter).
class HOST_EXPORT DataSetError : public KioskError
{
public:
    using KioskError::KioskError;
};

// The database refused a statement, a connection or a transaction.
class HOST_EXPORT SqlError : public KioskError
{
public:
    SqlError(QString operation, QString databaseText);
    const QString& operation() const { return m_operation; }
    const QString& databaseText() const { return m_databaseText; }

private:
    QString m_operation;
    QString m_databaseText;
};

// Configuration is missing or unreadable.
class HOST_EXPORT ConfigError : public KioskError
{
public:
    using KioskError::KioskError;
};
