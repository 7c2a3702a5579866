// How the programs write to the console when there is no display. On a
// terminal the progress bar is redrawn in place; in a log (stderr is a file
// or a pipe) every text stands on a line of its own, without bars or
// repeated titles. Started by nsf2pst into a log (NSF2PST_CONSOLE_STATUS=0),
// the programs leave the status lines to nsf2pst and print only their
// messages.
#pragma once
#include <string>

namespace ui {

enum class EConsole { Terminal, Log, MessagesOnly };

// What stderr is now.
EConsole ConsoleKind();

// Prints the text and a line end to stderr, after a line end that ends the
// bar the terminal shows (or, with blankBefore, leaves a blank line).
void PrintConsoleLine(const std::string& text, bool blankBefore = false);
// Shows the bar in place of the previous one (for a terminal).
void PrintConsoleBar(const std::string& text);

}  // namespace ui
