#include "gif/resize.h"
