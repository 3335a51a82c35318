// Resampling 24-bit frames (bilinear up to a width factor of 2, box average
// beyond), the size the size settings ask for, and indexed images to 24-bit frames.
#pragma once

#include "platform/platform.h"

// A new w x h frame resampled from a 24-bit frame, or null (frame missing, not
// 24-bit, w or h below 1, no memory). The source is unchanged and stays the caller's.
HGLOBAL ResizeFrame(HGLOBAL frame, int width, int height);

// The 24-bit frame of an indexed (1, 4, 8 bits) or 32-bit image. Consumes its input
// in every case: a 24-bit image is returned itself, anything else is freed.
HGLOBAL TemplateToFrame(HGLOBAL image);

// Size methods of the size setting (sizemethod).
enum SizeMethod { kSizeKeep = 0, kSizeLimitWidth = 1, kSizeFixWidth = 2, kSizeFitSquare = 3 };

// The size a width x height frame is resized to under a size method and its
// sizepixel. Returns false when the frame keeps its size: method 0 or unknown,
// method 1 with a frame no wider than sizePixel, or a sizePixel below 1 (which
// would divide by zero). Methods 2 and 3 also enlarge, and may return the same size.
bool ResizeTarget(int method, int sizePixel, int width, int height, int* newWidth, int* newHeight);
