#pragma once
// Decodes the PNG files the encoder writes and compares their pixels with the BMP they came from.
// It shares no code with the writer, so a fault there shows up here instead of being repeated.

#include <cstddef>
#include <cstdint>
#include <string>

#include "BmpReader.h"

namespace fuzz {

// Empty when png[0, size) is a valid 8-bit RGB PNG holding exactly the pixels of image;
// otherwise what is wrong with it.
std::string comparePng(const uint8_t* png, size_t size, const pngsaver::BmpImage& image);

}  // namespace fuzz
