#include "gif/trim.h"
