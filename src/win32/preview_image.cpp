#include "win32/preview_image.h"

#include <windows.h>
// windows.h must come first
#include <wincodec.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace archive::win32 {

namespace {

using Pixel = std::array<std::uint8_t, 4>; // blue, green, red, alpha

unsigned Word(std::string_view bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

// One stored pixel or colour-map entry of `bits` bits as BGRA.
Pixel ColourOf(const unsigned char* at, int bits, bool grey, bool alpha)
{
    if (grey) {
        return {at[0], at[0], at[0], bits == 16 ? at[1] : std::uint8_t{255}};
    }
    switch (bits) {
    case 15:
    case 16: {
        const unsigned value = at[0] | static_cast<unsigned>(at[1]) << 8;
        const auto five = [](unsigned v) { return static_cast<std::uint8_t>((v & 31) * 255 / 31); };
        return {five(value), five(value >> 5), five(value >> 10), std::uint8_t{255}};
    }
    case 24:
        return {at[0], at[1], at[2], std::uint8_t{255}};
    default: // 32
        return {at[0], at[1], at[2], alpha ? at[3] : std::uint8_t{255}};
    }
}

// A small reader that never passes the end of the bytes it was given.
struct Cursor {
    std::string_view bytes;
    std::size_t at = 0;
    const unsigned char* Take(std::size_t count)
    {
        if (count > bytes.size() - at) {
            return nullptr;
        }
        const auto* start = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        at += count;
        return start;
    }
};

// COM for the calling thread, released again when this call started it.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

template <typename T> struct Released {
    T* p = nullptr;
    ~Released()
    {
        if (p) {
            p->Release();
        }
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

std::string Lowered(std::string_view text)
{
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lowered;
}

} // namespace

PreviewImage DecodeTga(std::string_view bytes)
{
    if (bytes.size() < 18) {
        return {};
    }
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
    const int idLength = header[0];
    const int mapType = header[1];
    const int type = header[2];
    const unsigned mapFirst = Word(bytes, 3);
    const unsigned mapLength = Word(bytes, 5);
    const int mapBits = header[7];
    const int width = static_cast<int>(Word(bytes, 12));
    const int height = static_cast<int>(Word(bytes, 14));
    const int bits = header[16];
    const int descriptor = header[17];
    const bool mapped = type == 1 || type == 9;
    const bool grey = type == 3 || type == 11;
    const bool runs = type >= 9;
    const bool alpha = (descriptor & 15) != 0;

    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownBits = mapped ? (bits == 8 || bits == 16) && mapType == 1 &&
                                        (mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32)
                           : grey ? bits == 8 || bits == 16
                                  : bits == 15 || bits == 16 || bits == 24 || bits == 32;
    if (!knownType || !knownBits || width == 0 || height == 0 ||
        static_cast<std::int64_t>(width) * height > kPreviewImagePixelLimit) {
        return {};
    }

    Cursor cursor{bytes, 18};
    if (!cursor.Take(static_cast<std::size_t>(idLength))) {
        return {};
    }
    std::vector<Pixel> map;
    if (mapType == 1) {
        const std::size_t entryBytes = static_cast<std::size_t>(mapBits + 7) / 8;
        const unsigned char* entries = cursor.Take(entryBytes * mapLength);
        if (!entries) {
            return {};
        }
        if (mapped) {
            map.reserve(mapLength);
            for (unsigned i = 0; i < mapLength; ++i) {
                map.push_back(ColourOf(entries + i * entryBytes, mapBits, false, alpha));
            }
        }
    }

    const std::size_t pixelBytes = static_cast<std::size_t>(bits + 7) / 8;
    const auto read = [&](const unsigned char* at, Pixel& out) {
        if (!mapped) {
            out = ColourOf(at, bits, grey, alpha);
            return true;
        }
        const unsigned index = (pixelBytes == 1 ? at[0] : at[0] | static_cast<unsigned>(at[1]) << 8);
        if (index < mapFirst || index - mapFirst >= map.size()) {
            return false;
        }
        out = map[index - mapFirst];
        return true;
    };

    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Raw pixels must all be there before anything is allocated for them.
    if (!runs && bytes.size() - cursor.at < count * pixelBytes) {
        return {};
    }
    PreviewImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(count * 4);
    // Pixels in stored order first, then put the right way round in place.
    const auto put = [&](std::size_t index, const Pixel& value) {
        std::memcpy(&image.pixels[index * 4], value.data(), 4);
    };
    for (std::size_t done = 0; done < count;) {
        std::size_t repeat = 1;
        bool literal = true;
        if (runs) {
            const unsigned char* packet = cursor.Take(1);
            if (!packet) {
                return {};
            }
            repeat = std::min<std::size_t>((*packet & 127u) + 1, count - done);
            literal = (*packet & 128u) == 0;
        }
        Pixel value{};
        for (std::size_t i = 0; i < repeat; ++i) {
            if (literal || i == 0) {
                const unsigned char* at = cursor.Take(pixelBytes);
                if (!at || !read(at, value)) {
                    return {};
                }
            }
            put(done++, value);
        }
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    if ((descriptor & 0x20) == 0) { // stored bottom row first
        for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
            std::swap_ranges(image.pixels.begin() + static_cast<std::ptrdiff_t>(top * rowBytes),
                             image.pixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * rowBytes),
                             image.pixels.begin() + static_cast<std::ptrdiff_t>(bottom * rowBytes));
        }
    }
    if ((descriptor & 0x10) != 0) { // stored right to left
        for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
            std::uint8_t* first = image.pixels.data() + row * rowBytes;
            for (std::size_t left = 0, right = rowBytes - 4; left < right; left += 4, right -= 4) {
                std::swap_ranges(first + left, first + left + 4, first + right);
            }
        }
    }
    return image;
}

PreviewImage DecodeWithSystem(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) {
        return {};
    }
    ComScope com;
    Released<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
        return {};
    }
    Released<IWICStream> stream;
    Released<IWICBitmapDecoder> decoder;
    Released<IWICBitmapFrameDecode> frame;
    Released<IWICBitmapSource> converted;
    // The stream reads the caller's bytes in place; nothing below writes them.
    auto* data = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(data, static_cast<DWORD>(bytes.size()))) ||
        FAILED(
            factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.p, &converted))) {
        return {};
    }
    UINT width = 0;
    UINT height = 0;
    if (FAILED(converted->GetSize(&width, &height)) || width == 0 || height == 0 ||
        static_cast<std::int64_t>(width) * height > kPreviewImagePixelLimit) {
        return {};
    }
    PreviewImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
    if (FAILED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(image.pixels.size()),
                                     image.pixels.data()))) {
        return {};
    }
    return image;
}

PreviewImage DecodeByName(std::string_view bytes, std::string_view name)
{
    const std::size_t dot = name.find_last_of(".\\");
    const std::string extension =
        dot != std::string_view::npos && name[dot] == '.' ? Lowered(name.substr(dot + 1)) : std::string();
    if (extension == "tga") {
        return DecodeTga(bytes);
    }
    for (const char* known : {"png", "jpg", "jpeg", "gif", "bmp", "dib", "ico", "tif", "tiff"}) {
        if (extension == known) {
            return DecodeWithSystem(bytes);
        }
    }
    return {};
}

} // namespace archive::win32
