/*
 * Screenshots: pixels taken from the screen, and written as PNG files.
 */
#ifndef TESTS_INTERFACE_PNG_H
#define TESTS_INTERFACE_PNG_H

#include <stdint.h>

#include <string>
#include <vector>

struct Pixel {
	uint8_t red;
	uint8_t green;
	uint8_t blue;

	bool
	operator==(const Pixel& other) const
	{
		return red == other.red && green == other.green && blue == other.blue;
	}
};

struct Image {
	int width = 0;
	int height = 0;
	std::vector<Pixel> pixels;

	Pixel
	At(int x, int y) const
	{
		return pixels[y * width + x];
	}
};

// True when the whole file was written.
bool write_png(const std::string& path, const Image& image);

#endif // TESTS_INTERFACE_PNG_H
