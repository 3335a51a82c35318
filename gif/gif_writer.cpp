#include "gif/gif_writer.h"
