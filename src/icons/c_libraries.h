#pragma once
// The C libraries of the icon library, each opened on its first use (see shared_library.h): an
// extraction that meets no PNG image loads none of them. The functions keep their headers' types.

#include "icons/shared_library.h"

#include <libdeflate.h>
#include <spng.h>
#include <zlib.h>

namespace gg {

// Inflates PNG images, checks their chunks, prints theme files.
struct Libdeflate {
    SharedLibrary library{"libdeflate.so.0"};
    decltype(&libdeflate_alloc_decompressor) allocDecompressor = GG_LIBRARY_FUNCTION(library, libdeflate_alloc_decompressor);
    decltype(&libdeflate_free_decompressor) freeDecompressor = GG_LIBRARY_FUNCTION(library, libdeflate_free_decompressor);
    decltype(&libdeflate_zlib_decompress) zlibDecompress = GG_LIBRARY_FUNCTION(library, libdeflate_zlib_decompress);
    decltype(&libdeflate_crc32) crc32 = GG_LIBRARY_FUNCTION(library, libdeflate_crc32);
};
const Libdeflate& libdeflate();

// Streams the rare PNG whose data runs past what its image needs.
struct Zlib {
    SharedLibrary library{"libz.so.1"};
    // zlib's inflateInit() is a macro over this one, which checks the caller's header version.
    decltype(&inflateInit_) startStream = GG_LIBRARY_FUNCTION(library, inflateInit_);
    decltype(&inflate) inflateStream = GG_LIBRARY_FUNCTION(library, inflate);
    decltype(&inflateEnd) endStream = GG_LIBRARY_FUNCTION(library, inflateEnd);
};
const Zlib& zlib();

// Encodes pictures and thumbnails.
struct Libspng {
    SharedLibrary library{"libspng.so.0"};
    decltype(&spng_ctx_new) contextNew = GG_LIBRARY_FUNCTION(library, spng_ctx_new);
    decltype(&spng_ctx_free) contextFree = GG_LIBRARY_FUNCTION(library, spng_ctx_free);
    decltype(&spng_set_option) setOption = GG_LIBRARY_FUNCTION(library, spng_set_option);
    decltype(&spng_set_ihdr) setHeader = GG_LIBRARY_FUNCTION(library, spng_set_ihdr);
    decltype(&spng_encode_image) encodeImage = GG_LIBRARY_FUNCTION(library, spng_encode_image);
    decltype(&spng_get_png_buffer) pngBuffer = GG_LIBRARY_FUNCTION(library, spng_get_png_buffer);
};
const Libspng& libspng();

} // namespace gg
