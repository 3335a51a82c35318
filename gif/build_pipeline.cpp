#include "gif/build_pipeline.h"
