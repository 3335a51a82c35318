#include "gif/colour_reduction.h"
