#pragma once

class QWidget;

// Ends a screen's modal run from outside, as the back button would: closes the
// message boxes open over it first (each closing lets the handler that opened it
// go on), then the screen. Retries while a handler holds the close back; after
// five seconds it ends the process with status 1.
namespace ScreenCloser {
void close(QWidget* screen);
} // namespace ScreenCloser
