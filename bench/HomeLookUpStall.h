#pragma once

#include <QString>

// The longest the home screen's thread went without running its event loop (a 10 ms
// tick) while a consumer's code is looked up on a store server that accepts the
// connection and never answers; the kiosk's data folder must hold its parameters file.
// Negative when the look-up did not end within a minute.
double homeLookUpStallOnASilentServer(const QString& dataFolder);
