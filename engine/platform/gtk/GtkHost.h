#pragma once

// GTK for the program's dialogs and file choosers. Started once per
// process, leaving the numeric locale alone (numbers in text files are
// parsed with '.'); its pending events run from the message queue's pump.

// false when GTK can't open the display.
bool StartGtk();

// Runs every pending GTK event without blocking.
void PumpGtkEvents();
