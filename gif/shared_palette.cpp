#include "gif/shared_palette.h"
