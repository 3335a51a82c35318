#include "gif/gif_reader.h"
