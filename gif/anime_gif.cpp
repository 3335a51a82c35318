#include "gif/anime_gif.h"

void CreateAnimeGif(HWND) {}
int BuildAnimeGif(HWND, HGLOBAL*, int, const char*, int, const int*) { return 0; }
