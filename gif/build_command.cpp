#include "gif/build_command.h"
