// The GIF variant of LZW compression for one frame's colour indices.
#pragma once
