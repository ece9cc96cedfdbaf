// Resource ids that both the resource scripts and the code use. Plain macros:
// the resource compiler reads this file too.
#pragma once

// The icon: the window's and the program file's.
#define CORVANE_ICON 1
