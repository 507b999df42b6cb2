#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace archive::win32 {

// An image read for the preview: top-down rows of 32-bit pixels, blue, green,
// red and alpha in that byte order, the alpha not premultiplied.
struct PreviewImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // width * height * 4 bytes

    bool Empty() const { return width <= 0 || height <= 0; }
};

// Images larger than this many pixels are not decoded: a few bytes of header
// must not make the window allocate gigabytes.
inline constexpr std::int64_t kPreviewImagePixelLimit = std::int64_t{1} << 26;

// A Truevision TGA image (colour-mapped, true-colour or grey, raw or
// run-length coded, 8 to 32 bits a pixel). TGA has no signature, so callers
// try it by the entry's extension only. Empty when the bytes are not one
// whole image of those kinds.
PreviewImage DecodeTga(std::string_view bytes);

// An image the system's imaging component can decode (PNG, JPEG, GIF, BMP,
// ICO, TIFF and whatever codecs are installed), its first frame. Empty when
// none can. COM must be usable on the calling thread (it is initialised here
// when it is not).
PreviewImage DecodeWithSystem(std::string_view bytes);

// An image by the name's extension: a ".tga" by DecodeTga, the extensions
// of the system's own codecs by them; empty for any other name. With
// DecodeWithSystem as the reading by content, this is what the core's
// ChoosePreviewView asks of a face.
PreviewImage DecodeByName(std::string_view bytes, std::string_view name);

} // namespace archive::win32
