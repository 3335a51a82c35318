#include "gif/credit_screen.h"

void ComposeCreditFrame(HWND, HGLOBAL*) {}
int MeasureCreditTitle(const char*, const char*, int, SIZE*) { return 0; }
void RenderCreditTitle(HGLOBAL, RECT*, HDC, const char*, int, COLORREF, COLORREF, const char*) {}
