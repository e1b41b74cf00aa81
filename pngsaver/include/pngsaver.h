/* libpngsaver: converts an uncompressed BMP file into a PNG file.
 *
 * int16_t BmpToPng(const char* bmpPath, const char* pngPath, const char* options);
 *
 * bmpPath  the BMP file to read (UTF-8 path): 24 or 32 bits per pixel, uncompressed (32-bit also
 *          with the standard bit fields), rows stored bottom-up or top-down. It is never changed
 *          or deleted.
 * pngPath  the PNG file to write (UTF-8 path), 8-bit RGB. It is written under a temporary name
 *          (".pngsaver-*.tmp") in the same folder and renamed into place, so it is either the old
 *          file, the new one, or absent; a failed call leaves no temporary file.
 * options  exactly "c0" to "c12": the compression level, 0 stored, 12 smallest. The program
 *          passes "c6". At levels 1 to 10 a photograph is coded without matches (literal-only)
 *          where a sample of its rows shows that to be smaller.
 *
 * int16_t PixelsToPng(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t stride,
 *                     const char* pngPath, const char* options);
 *
 * Writes the same PNG file that BmpToPng writes from a BMP of these pixels, from pixels held in
 * memory, so that no BMP need be written and read back. pixels: `height` rows, the top row first,
 * `stride` bytes apart; each pixel 4 bytes: blue, green, red, unused (a 32-bit BMP's pixel, and
 * Qt's Format_RGB32 on a little-endian machine). pngPath and options as for BmpToPng.
 * PNGSAVER_ERR_BAD_BMP here means: pixels NULL, width or height 0, more than 2^28 pixels, or a
 * stride shorter than a row.
 *
 * Calls from different threads may run at the same time. Each thread keeps the memory of its last
 * conversion (about twice the size of the BMP) for the next one.
 *
 * Return values: */
#ifndef PNGSAVER_H
#define PNGSAVER_H

#include <stdint.h>

/* The PNG was written. */
#define PNGSAVER_OK 0
/* The BMP cannot be opened or read: missing, not a regular file, no access, I/O error. */
#define PNGSAVER_ERR_READ_BMP 1
/* Not a BMP this library reads: bad or truncated header or pixel data, compressed, palette or
 * 16-bit, no pixels or more than 2^28 of them. */
#define PNGSAVER_ERR_BAD_BMP 2
/* The PNG cannot be written: folder missing, no access, disk full, the path names the BMP. */
#define PNGSAVER_ERR_WRITE_PNG 3
/* The options are not "c0" to "c12", or a path is NULL. Checked before any file is touched. */
#define PNGSAVER_ERR_BAD_OPTIONS 4
/* Not enough memory for the picture. */
#define PNGSAVER_ERR_NO_MEMORY 5
/* Not returned by the library: the program's own code for "the library could not be loaded or
 * has no BmpToPng", so that it is handled like any failed conversion. */
#define PNGSAVER_ERR_NO_LIBRARY 100

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) int16_t BmpToPng(const char* bmpPath, const char* pngPath,
                                                        const char* options);
__attribute__((visibility("default"))) int16_t PixelsToPng(const uint8_t* pixels, uint32_t width,
                                                           uint32_t height, uint32_t stride,
                                                           const char* pngPath,
                                                           const char* options);

#ifdef __cplusplus
}
#endif

#endif /* PNGSAVER_H */
