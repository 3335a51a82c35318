// Straightforward versions of colour reduction and shared counting, written from the
// description without any of the engine's shortcuts (no lookup tables, a full stable
// sort, a distance to every palette entry, 16-bit variables in the mapping), for the
// tests to compare the fast code against on many frames.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "capture/frame_image.h"
#include "gif/colour_reduction.h"
#include "platform/platform.h"

namespace reference {

// A cheap, well-mixed pseudo-random value of a seed and a pixel position, for test frames.
inline std::uint32_t PixelNoise(std::uint32_t seed, int x, int y, int salt = 0) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(x * 65599 + y * 131 + salt * 7919 + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>(z ^ (z >> 31));
}

struct Cell {
  int key, chroma, sector;
  std::int64_t count;
};

inline int Quantise(int x) { return std::min(x + 8, 255) / 16; }
inline int Key(int red, int green, int blue) { return Quantise(green) * 256 + Quantise(red) * 16 + Quantise(blue); }

inline std::vector<Cell> FreshHistogram() {
  std::vector<Cell> cells;
  for (int c = 0; c < 4096; ++c) {
    const int b = c % 16, r = c / 16 % 16, g = c / 256 % 16;
    const int mx = std::max({r, g, b}), mn = std::min({r, g, b}), d = mx - mn;
    int h = 0;
    if (mx != 0 && d != 0) {
      const int R = (mx - r) / d, G = (mx - g) / d, B = (mx - b) / d;
      if (g == mx) {
        h = R - B + 2;
      } else if (r == mx) {
        h = B - G;
      } else {
        h = G - R + 4;
      }
      if (h < 0) h += 6;
      h = std::clamp(h, 0, 5);
    }
    cells.push_back(Cell{c, d, h, 0});
  }
  return cells;
}

inline RGBQUAD CellColour(int key) {
  return RGBQUAD{static_cast<BYTE>(key % 16 * 16 + 7), static_cast<BYTE>(key / 256 % 16 * 16 + 7),
                 static_cast<BYTE>(key / 16 % 16 * 16 + 7), 0};
}

inline std::vector<RGBQUAD> Select(std::vector<Cell> h, int n) {
  std::vector<RGBQUAD> palette{RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  h[0].count = 0;
  h[4095].count = 0;
  int firstPick[6], best[6], bestChroma[6];
  std::fill(firstPick, firstPick + 6, -1);
  std::fill(best, best + 6, -1);
  std::fill(bestChroma, bestChroma + 6, -1);
  for (int c = 4095; c >= 0; --c) {
    if (h[c].count <= 0) continue;
    const int s = h[c].sector;
    if (firstPick[s] == -1) {
      firstPick[s] = c;
      palette.push_back(CellColour(c));
      h[c].count = 0;
    } else if (h[c].chroma > bestChroma[s]) {
      best[s] = c;
      bestChroma[s] = h[c].chroma;
    }
  }
  for (int s = 0; s < 6; ++s) {
    if (static_cast<int>(palette.size()) < n && best[s] != -1) {
      h[best[s]].count = 0;
      palette.push_back(CellColour(best[s]));
    }
  }
  std::stable_sort(h.begin(), h.end(), [](const Cell& a, const Cell& b) { return a.count < b.count; });
  for (int i = 4095; i >= 0 && static_cast<int>(palette.size()) < n; --i) {
    if (h[i].count == 0) continue;
    if (h[i].count < 0) break;
    palette.push_back(CellColour(h[i].key));
    h[i].count = 0;
  }
  for (int i = 0; i < 4096 && static_cast<int>(palette.size()) < n; ++i) {
    if (h[i].count == 0) continue;
    if (h[i].count > 0) break;
    palette.push_back(CellColour(h[i].key));
    h[i].count = 0;
  }
  std::stable_sort(palette.begin(), palette.end(), [](const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbRed + a.rgbGreen + a.rgbBlue < b.rgbRed + b.rgbGreen + b.rgbBlue;
  });
  return palette;
}

// Pixel (blue, green, red) i of a 24-bit frame in storage order.
struct StoredPixel {
  int red, green, blue;
};
inline std::vector<std::vector<StoredPixel>> StoredRows(HGLOBAL frame) {
  std::vector<std::vector<StoredPixel>> rows;
  FrameLock lock(frame);
  if (!lock.Is24Bit()) return rows;
  for (int y = 0; y < lock.height(); ++y) {
    std::vector<StoredPixel> row;
    for (int x = 0; x < lock.width(); ++x) {
      const BYTE* p = lock.Row(y) + 3 * x;
      row.push_back(StoredPixel{p[2], p[1], p[0]});
    }
    rows.push_back(row);
  }
  return rows;
}

inline std::vector<RGBQUAD> FramePalette(HGLOBAL frame, int n) {
  std::vector<Cell> h = FreshHistogram();
  const auto rows = StoredRows(frame);
  int previous = Key(rows[0][0].red, rows[0][0].green, rows[0][0].blue);
  for (const auto& row : rows) {
    for (const StoredPixel& p : row) {
      const int key = Key(p.red, p.green, p.blue);
      if (key != previous) {
        ++h[key].count;
        previous = key;
      }
    }
  }
  return Select(h, n);
}

inline void SharedCount(std::vector<Cell>& h, HGLOBAL frame) {
  const auto rows = StoredRows(frame);
  if (rows.empty()) return;
  int p = Key(rows[0][0].red, rows[0][0].green, rows[0][0].blue);
  for (const auto& row : rows) {
    int previousSector = h[p].sector;
    int previousY = 3 * row[0].red + 6 * row[0].green + row[0].blue;
    int s = 0;
    for (const StoredPixel& px : row) {
      const int c = Key(px.red, px.green, px.blue);
      const int y = 3 * px.red + 6 * px.green + px.blue;
      if (c == p) continue;
      p = c;
      if (h[c].sector != previousSector) {
        previousSector = h[c].sector;
        s = 0;
        h[c].count += 1;
      } else {
        s += y - previousY;
        if (s == 0) {
          h[c].count += 1;
        } else if (static_cast<std::uint32_t>(s) & 64) {
          h[c].count -= s;
        } else {
          h[c].count += s;
        }
      }
      previousY = y;
    }
  }
}

// The palette entry nearest to a cell's representative by ColourDistance over every entry.
inline int Nearest(const RGBQUAD* palette, int count, int key) {
  const RGBQUAD target{static_cast<BYTE>(key % 16 * 16 + 8), static_cast<BYTE>(key / 256 % 16 * 16 + 8),
                       static_cast<BYTE>(key / 16 % 16 * 16 + 8), 0};
  int best = 0;
  DWORD bestDistance = ColourDistance(palette[0], target);
  for (int i = 1; i < count; ++i) {
    const DWORD d = ColourDistance(palette[i], target);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

// Indices of the mapped frame, storage rows, in 16-bit arithmetic as described.
inline std::vector<std::vector<int>> Map(const RGBQUAD* palette, int count, HGLOBAL frame) {
  const auto rows = StoredRows(frame);
  const int width = static_cast<int>(rows[0].size());
  std::vector<std::int16_t> cache(4096, -1);
  std::vector<std::int16_t> errorRow(3 * width, 0);
  std::vector<std::vector<int>> out(rows.size(), std::vector<int>(width));
  for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
    std::int16_t run[3] = {0, 0, 0};
    for (int n = 0; n < width; ++n) {
      const int x = y % 2 == 0 ? n : width - 1 - n;
      const int source[3] = {rows[y][x].red, rows[y][x].green, rows[y][x].blue};
      std::int16_t value[3], clamped[3];
      for (int c = 0; c < 3; ++c) {
        value[c] = static_cast<std::int16_t>(source[c] + run[c] + errorRow[3 * x + c]);
        clamped[c] = std::clamp<std::int16_t>(value[c], 0, 255);
      }
      const int key = Key(clamped[0], clamped[1], clamped[2]);
      if (cache[key] == -1) cache[key] = static_cast<std::int16_t>(Nearest(palette, count, key));
      const int index = cache[key];
      out[y][x] = index;
      const int chosen[3] = {palette[index].rgbRed, palette[index].rgbGreen, palette[index].rgbBlue};
      std::int16_t error[3];
      bool large = false;
      for (int c = 0; c < 3; ++c) {
        error[c] = static_cast<std::int16_t>(value[c] - chosen[c]);
        if (std::abs(error[c]) > 128) large = true;
      }
      for (int c = 0; c < 3; ++c) {
        // Floor division by 4 or 2: a shift written without relying on the shift of negatives.
        const int divisor = large ? 4 : 2;
        int shifted = error[c] / divisor;
        if (error[c] % divisor != 0 && error[c] < 0) --shifted;
        run[c] = static_cast<std::int16_t>(shifted);
        errorRow[3 * x + c] = run[c];
      }
    }
  }
  return out;
}

}  // namespace reference
