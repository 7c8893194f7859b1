#pragma once

#include "SqlStatement.h"

// A statement that returns no rows (INSERT, UPDATE, DELETE). No time limit.
class HOST_EXPORT SqlCommand : public SqlStatement
{
    Q_OBJECT
public:
    using SqlStatement::SqlStatement;
    int execute(); // rows affected
};
