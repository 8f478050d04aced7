#include "level/default_tileset.h"

#include "support/byte_order.h"

namespace {

constexpr int tile = 16, columns = 19, rows = 10;
constexpr int width = tile * columns, height = tile * rows;
constexpr std::uint32_t palette_offset = 14 + 40, pixel_offset = palette_offset + 256 * 4;
static_assert(pixel_offset + width * height == default_tileset_size);

// Palette layout: 0 black, 1 white, one fill colour per tile, one border
// colour per column.
constexpr int black = 0, white = 1, first_fill = 2, first_border = first_fill + columns * rows;

struct rgb {
  int r, g, b;
};

// Hue in degrees, saturation and value 0..255.
constexpr rgb hsv(int hue, int s, int v) {
  const int sector = hue / 60, f = (hue % 60) * 255 / 60;
  const int p = v * (255 - s) / 255, q = v * (255 - s * f / 255) / 255, t = v * (255 - s * (255 - f) / 255) / 255;
  switch (sector) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
  }
}

// Columns run round the colour wheel; rows grow more saturated and darker.
constexpr rgb fill_colour(int row, int column) { return hsv(column * 360 / columns, 110 + row * 14, 250 - row * 8); }
constexpr rgb border_colour(int column) { return hsv(column * 360 / columns, 255, 90); }

constexpr bool is_light(rgb c) { return c.r * 299 + c.g * 587 + c.b * 114 >= 140000; }

// 3 x 5 digits, one row per entry, the high bit of three on the left.
constexpr std::uint8_t digit_rows[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// True where the tile's number covers pixel (x, y) of the tile, top-left origin.
constexpr bool number_pixel(int number, int x, int y) {
  int digits[3] = {}, count = 0;
  for (int n = number; n > 0; n /= 10) digits[count++] = n % 10;
  const int text_width = count * 4 - 1, left = (tile - text_width) / 2, top = (tile - 5) / 2;
  if (y < top || y >= top + 5 || x < left || x >= left + text_width) return false;
  const int column = x - left;
  if (column % 4 == 3) return false;
  const int digit = digits[count - 1 - column / 4];
  return (digit_rows[digit][y - top] >> (2 - column % 4)) & 1;
}

constexpr std::array<std::uint8_t, default_tileset_size> make_default_tileset() {
  std::array<std::uint8_t, default_tileset_size> bmp{};
  std::uint8_t* b = bmp.data();
  b[0] = 'B';
  b[1] = 'M';
  write_u32le(b + 2, default_tileset_size);
  write_u32le(b + 10, pixel_offset);
  write_u32le(b + 14, 40);
  write_u32le(b + 18, width);
  write_u32le(b + 22, height);
  write_u16le(b + 26, 1);
  write_u16le(b + 28, 8);
  write_u32le(b + 30, 0);
  write_u32le(b + 34, width * height);
  write_u32le(b + 38, 2835);
  write_u32le(b + 42, 2835);
  write_u32le(b + 46, 256);
  write_u32le(b + 50, 256);

  auto set_colour = [&](int index, rgb c) {
    std::uint8_t* entry = b + palette_offset + index * 4;
    entry[0] = static_cast<std::uint8_t>(c.b);
    entry[1] = static_cast<std::uint8_t>(c.g);
    entry[2] = static_cast<std::uint8_t>(c.r);
  };
  set_colour(black, {0, 0, 0});
  set_colour(white, {255, 255, 255});
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) set_colour(first_fill + row * columns + column, fill_colour(row, column));
  for (int column = 0; column < columns; ++column) set_colour(first_border + column, border_colour(column));

  for (int y = 0; y < height; ++y) {
    // Rows are stored bottom-up.
    std::uint8_t* line = b + pixel_offset + (height - 1 - y) * width;
    for (int x = 0; x < width; ++x) {
      const int row = y / tile, column = x / tile, tx = x % tile, ty = y % tile;
      const int fill = first_fill + row * columns + column;
      int index = fill;
      if (tx == 0 || ty == 0 || tx == tile - 1 || ty == tile - 1)
        index = first_border + column;
      else if (number_pixel(row * columns + column + 1, tx, ty))
        index = is_light(fill_colour(row, column)) ? black : white;
      line[x] = static_cast<std::uint8_t>(index);
    }
  }
  return bmp;
}

}  // namespace

constinit const std::array<std::uint8_t, default_tileset_size> default_tileset = make_default_tileset();
