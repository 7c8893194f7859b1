#pragma once

#include "HostExport.h"

#include <QFont>
#include <QRect>
#include <QString>

// Captions of drawn buttons come in every language the kiosk speaks, and some are
// longer than the button was drawn for ("Corregir" on a keypad key): the caption's
// font is made smaller, one step at a time, until the text fits the button.
namespace CaptionFit
{
// Space kept free along each edge of a button (its bevel and border).
constexpr int margin = 3;
// The smallest size a caption shrinks to; below it the text is left to be cut.
constexpr int smallestPixels = 7;

// `font`, or a smaller one of the same face, in which `text` fits `room` (broken
// at word boundaries when `wordWrap`). The room is used as given; callers take
// the margin off.
HOST_EXPORT QFont fitted(const QFont& font, const QString& text, const QRect& room, bool wordWrap);
} // namespace CaptionFit
