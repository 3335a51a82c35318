// Files shared with the companion programs in the data folder.
#pragma once

#include <cstddef>

// The exchange file "$pindle.gif" in the data folder into buffer (256 bytes): 1, else 0.
int GetPindleGifPath(char* buffer);
// Puts the program's line (id 35) into "$exec-list.txt": 1 when written, 0 when left alone.
int RegisterInExecList();
