#pragma once

#include "TrdmRecSaldo.h"

class QString;
class QVariant;
namespace std {
class exception;
}

// Shared by the server function files: the module instance, or a failure when
// the screen has not created it.
namespace ServerModule {
TrdmRecSaldo& instance();
// Makes the module's resources (statement texts, scripts, messages) reachable.
void initResources();
// The text a failing server function returns.
QString failureText(const std::exception& error);
} // namespace ServerModule
