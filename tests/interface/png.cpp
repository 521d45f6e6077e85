#include "png.h"

#include <zlib.h>

#include <stdio.h>


namespace {

void
append_big_endian(std::vector<uint8_t>& data, uint32_t value)
{
	data.push_back(value >> 24);
	data.push_back(value >> 16);
	data.push_back(value >> 8);
	data.push_back(value);
}


void
append_chunk(std::vector<uint8_t>& file, const char* type,
		const std::vector<uint8_t>& content)
{
	append_big_endian(file, static_cast<uint32_t>(content.size()));
	std::vector<uint8_t> typed(type, type + 4);
	typed.insert(typed.end(), content.begin(), content.end());
	file.insert(file.end(), typed.begin(), typed.end());
	append_big_endian(file, crc32(0, typed.data(), typed.size()));
}

} // namespace


bool
write_png(const std::string& path, const Image& image)
{
	std::vector<uint8_t> header;
	append_big_endian(header, image.width);
	append_big_endian(header, image.height);
	// 8 bits per channel, RGB, deflate, no filter method, no interlace.
	header.insert(header.end(), {8, 2, 0, 0, 0});

	// Each row starts with its filter byte: none.
	std::vector<uint8_t> raw;
	for (int y = 0; y < image.height; y++) {
		raw.push_back(0);
		for (int x = 0; x < image.width; x++) {
			Pixel pixel = image.At(x, y);
			raw.insert(raw.end(), {pixel.red, pixel.green, pixel.blue});
		}
	}
	uLongf size = compressBound(raw.size());
	std::vector<uint8_t> compressed(size);
	if (compress2(compressed.data(), &size, raw.data(), raw.size(), 9) != Z_OK)
		return false;
	compressed.resize(size);

	std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
	append_chunk(file, "IHDR", header);
	append_chunk(file, "IDAT", compressed);
	append_chunk(file, "IEND", {});

	FILE* out = fopen(path.c_str(), "wb");
	if (out == NULL)
		return false;
	bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
	return fclose(out) == 0 && written;
}
