#include "KioskError.h"

KioskError::KioskError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

KioskError::~KioskError() = default;

SqlError::SqlError(QString operation, QString databaseText)
    : KioskError(operation.isEmpty() ? databaseText : operation + QStringLiteral(": ") + databaseText),
      m_operation(std::move(operation)), m_databaseText(std::move(databaseText))
{
}
