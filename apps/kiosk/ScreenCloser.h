#pragma once

class QWidget;

// Ends a screen's modal run from outside, as the back button would: closes the
// message boxes open over it first (each closing lets the handler that opened it
// go on), then the screen. Retries for five seconds while a handler holds the
// close back.
namespace ScreenCloser {
void close(QWidget* screen);
} // namespace ScreenCloser
