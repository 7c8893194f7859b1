#pragma once

#include "HostExport.h"

#include <QString>

class QWidget;
class WaitWindow;

// The wait window package: one wait window at a time, over the screen given.
namespace Wst00002
{
// Shows the wait window with `text` over `form`; called again before
// DesativaProcesso it shows the new text in the same window. The two integers
// are the box's background and text colours (0x00BBGGRR, 0 for the default).
HOST_EXPORT void AtivaProcesso(QWidget* form, const QString& text, qint32 background, qint32 foreground);
// Closes the wait window; nothing when none is open.
HOST_EXPORT void DesativaProcesso();
// The open wait window, or nullptr.
HOST_EXPORT WaitWindow* current();
} // namespace Wst00002
