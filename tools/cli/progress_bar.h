// The command-line tool's progress display: a bar with the step's name on stderr
// when it is a terminal, and Ctrl-C turned into the build's cancel request.
#pragma once

#include "gif/build_progress.h"

// A sink that draws on stderr when stderr is a terminal, and draws nothing otherwise.
ProgressSink TerminalProgress();

// Clears the bar's line, if one was drawn.
void EndTerminalProgress();

// Ctrl-C sets CancelRequested, as the progress dialog's button does; a second Ctrl-C ends the tool.
void CancelOnInterrupt();
