#include "capture/jpeg_writer.h"
