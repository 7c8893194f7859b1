#pragma once

#include <QString>

class QWidget;

// A picture of the screen as the consumer sees it: the screen with the message box
// that is open over it drawn where it stands.
namespace ScreenPicture {
// False when the file cannot be written.
bool save(QWidget* screen, const QString& file);
} // namespace ScreenPicture
