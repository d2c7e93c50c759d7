// Writes the program's icon file from its drawn picture, for the resource
// compiler. A program of the build machine, run while building.
//   make_icon OUTPUT.ico
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/GlyphPicture.h"

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
    return 2;
  }
  const int sizes[] = {16, 24, 32, 48, 64};
  std::vector<std::vector<std::uint8_t>> images;
  for (const int size : sizes) {
    const GlyphPicture::Picture picture = GlyphPicture::Program(size);
    std::vector<std::uint8_t> image;
    const auto s = static_cast<std::uint32_t>(size);
    const std::uint32_t maskRow = (s + 31) / 32 * 4;
    Put(image, 40, 4);
    Put(image, s, 4);
    Put(image, s * 2, 4);  // the colour rows and the mask rows
    Put(image, 1, 2);
    Put(image, 32, 2);
    Put(image, 0, 4);
    Put(image, s * s * 4 + maskRow * s, 4);
    for (int i = 0; i < 4; ++i) Put(image, 0, 4);
    for (int row = size - 1; row >= 0; --row) {  // from the bottom
      for (int x = 0; x < size; ++x) Put(image, picture.pixels[static_cast<std::size_t>(row * size + x)], 4);
    }
    image.insert(image.end(), maskRow * s, 0);  // the alpha decides, not the mask
    images.push_back(std::move(image));
  }
  std::vector<std::uint8_t> file;
  Put(file, 0, 2);
  Put(file, 1, 2);
  Put(file, static_cast<std::uint32_t>(images.size()), 2);
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    Put(file, static_cast<std::uint32_t>(sizes[i]), 1);
    Put(file, static_cast<std::uint32_t>(sizes[i]), 1);
    Put(file, 0, 2);
    Put(file, 1, 2);
    Put(file, 32, 2);
    Put(file, static_cast<std::uint32_t>(images[i].size()), 4);
    Put(file, offset, 4);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
