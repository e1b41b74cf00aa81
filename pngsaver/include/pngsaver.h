/* libpngsaver: converts an uncompressed BMP file into a PNG file.
 *
 * int16_t BmpToPng(const char* bmpPath, const char* pngPath, const char* options);
 *
 * bmpPath  the BMP file to read (UTF-8 path). It is never changed or deleted.
 * pngPath  the PNG file to write (UTF-8 path). It is written under a temporary name in the same
 *          folder and renamed into place, so it is either the old file, the new one, or absent.
 * options  "c" followed by a compression level 0 to 12, e.g. "c6".
 *
 * Return values: */
#ifndef PNGSAVER_H
#define PNGSAVER_H

#include <stdint.h>

#define PNGSAVER_OK 0
#define PNGSAVER_ERR_READ_BMP 1     /* the BMP cannot be opened or read (missing, no access, I/O) */
#define PNGSAVER_ERR_BAD_BMP 2      /* not a BMP this library can read: bad or truncated header,
                                       compressed, palette or 16-bit, absurd size */
#define PNGSAVER_ERR_WRITE_PNG 3    /* the PNG cannot be written (folder missing, disk full, ...) */
#define PNGSAVER_ERR_BAD_OPTIONS 4  /* options are not "c0" to "c12", or a path is NULL */
#define PNGSAVER_ERR_NO_MEMORY 5    /* not enough memory for the picture */
/* Not returned by the library: the program's own code for "the library could not be loaded or
 * has no BmpToPng", so that it is handled like any failed conversion. */
#define PNGSAVER_ERR_NO_LIBRARY 100

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) int16_t BmpToPng(const char* bmpPath, const char* pngPath,
                                                        const char* options);

#ifdef __cplusplus
}
#endif

#endif /* PNGSAVER_H */
