#include "gif/lzw_encoder.h"
