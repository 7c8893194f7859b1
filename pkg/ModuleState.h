#pragma once

// What the two parts of the frame share: the data module's (ModuleInstances.cpp, no display)
// and the entry call's (EntryCall.cpp, the screen).
namespace ModuleInstances::detail
{
extern bool running; // a call of the entry is running
// Lends the printer package the store's highest coupon numbers while the data module lives
// (true), or takes them back (false).
void lendStoreToPrinter(bool lend);
} // namespace ModuleInstances::detail
