#include "capture/jpeg_frame.h"
