#include <lumora/ImageLoader.h>

#include <FreeImage.h>
#include <sys/stat.h>

#include <iostream>

namespace {

const char* const UnsupportedMessage = "[ERROR] ImageLoader::ImageFile: Unsupported imagefile: ";
const char* const CannotReadMessage = "[ERROR] ImageLoader::ImageFile: Cannot read from file: ";

// 16-bit grey to 8-bit by its high byte. FreeImage's own conversion either
// clamps (65535 and 300 both become 255) or stretches min..max, and both
// would change how the image looks.
FIBITMAP* Grey16To8(FIBITMAP* source) {
    const unsigned int width = FreeImage_GetWidth(source);
    const unsigned int height = FreeImage_GetHeight(source);
    FIBITMAP* grey = FreeImage_Allocate(width, height, 8);
    if (!grey) return nullptr;
    RGBQUAD* palette = FreeImage_GetPalette(grey);
    for (unsigned int i = 0; i < 256; ++i) {
        const BYTE v = static_cast<BYTE>(i);
        palette[i] = RGBQUAD{v, v, v, 0};
    }
    for (unsigned int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const unsigned short*>(FreeImage_GetScanLine(source, y));
        BYTE* out = FreeImage_GetScanLine(grey, y);
        for (unsigned int x = 0; x < width; ++x) out[x] = static_cast<BYTE>(in[x] >> 8);
    }
    return grey;
}

// Any other non-standard type (float, integer, complex) goes to a standard
// 8- or 24-bit bitmap first; floating-point colour is tone-mapped.
FIBITMAP* ToStandardBitmap(FIBITMAP* source) {
    switch (FreeImage_GetImageType(source)) {
        case FIT_UINT16:
            return Grey16To8(source);
        case FIT_RGBF:
        case FIT_RGBAF: {
            FIBITMAP* rgbf = FreeImage_ConvertToRGBF(source);
            if (!rgbf) return nullptr;
            FIBITMAP* mapped = FreeImage_ToneMapping(rgbf, FITMO_DRAGO03, 0, 0);
            FreeImage_Unload(rgbf);
            return mapped;
        }
        default:
            return FreeImage_ConvertToStandardType(source, TRUE);
    }
}

// A new 32-bit copy of `source`, or null when FreeImage cannot make one.
// Consumers upload width * height * 4 bytes, so nothing narrower may leave
// the loader.
FIBITMAP* ConvertTo32Bits(FIBITMAP* source) {
    // Bitmaps of every depth, and 48/64-bit RGB(A), convert directly.
    if (FIBITMAP* converted = FreeImage_ConvertTo32Bits(source)) return converted;
    FIBITMAP* standard = ToStandardBitmap(source);
    if (!standard) return nullptr;
    FIBITMAP* converted = FreeImage_ConvertTo32Bits(standard);
    FreeImage_Unload(standard);
    return converted;
}

// NOTE: tests the CMYK flag directly: FreeImage_GetColorType would scan every
// pixel's alpha to tell RGB from RGBA.
bool Is32BitBitmap(FIBITMAP* bitmap) {
    const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap);
    const bool cmyk = profile && (profile->flags & FIICC_COLOR_IS_CMYK);
    return FreeImage_GetImageType(bitmap) == FIT_BITMAP && FreeImage_GetBPP(bitmap) == 32 && !cmyk;
}

}  // namespace

unsigned int ImageLoader::ImageFile::GetWidth() const { return FreeImage_GetWidth(bitmap); }

unsigned int ImageLoader::ImageFile::GetHeight() const { return FreeImage_GetHeight(bitmap); }

const void* ImageLoader::ImageFile::GetPixelData() const { return FreeImage_GetBits(bitmap); }

ImageLoader::ImageFile* ImageLoader::LoadImageFile(const std::string& fileName) {
    // Model files name their images: a FIFO or a device there would block
    // the read or never end it, so only regular files are opened.
    struct stat info;
    if (stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        std::cout << CannotReadMessage << fileName << std::endl;
        return nullptr;
    }
    // Contents first, so a file with a wrong extension still loads.
    FREE_IMAGE_FORMAT format = FreeImage_GetFileType(fileName.c_str(), 0);
    if (format == FIF_UNKNOWN) format = FreeImage_GetFIFFromFilename(fileName.c_str());
    if (format == FIF_UNKNOWN) {
        std::cout << UnsupportedMessage << fileName << std::endl;
        return nullptr;
    }
    if (!FreeImage_FIFSupportsReading(format)) {
        std::cout << CannotReadMessage << fileName << std::endl;
        return nullptr;
    }

    // A missing or corrupt file of a known format loads as null.
    FIBITMAP* bitmap = FreeImage_Load(format, fileName.c_str(), 0);
    if (bitmap && !Is32BitBitmap(bitmap)) {
        FIBITMAP* converted = ConvertTo32Bits(bitmap);
        FreeImage_Unload(bitmap);
        bitmap = converted;
    }
    if (!bitmap || !FreeImage_HasPixels(bitmap) || !Is32BitBitmap(bitmap) ||
        FreeImage_GetWidth(bitmap) == 0 || FreeImage_GetHeight(bitmap) == 0 ||
        FreeImage_GetPitch(bitmap) != FreeImage_GetWidth(bitmap) * 4) {
        if (bitmap) FreeImage_Unload(bitmap);
        std::cout << CannotReadMessage << fileName << std::endl;
        return nullptr;
    }
    return new ImageFile(bitmap);
}

void ImageLoader::UnLoadImageFile(ImageLoader::ImageFile* file) {
    if (!file) return;
    FreeImage_Unload(file->GetFiBitmap());
    delete file;
}

bool ImageLoader::EncodePng(const void* bgra, unsigned int width, unsigned int height,
                            std::vector<unsigned char>& png) {
    png.clear();
    if (!bgra || width == 0 || height == 0) return false;
    FIBITMAP* bitmap = FreeImage_Allocate(static_cast<int>(width), static_cast<int>(height), 24);
    if (!bitmap) return false;
    // Rows bottom-up, as the block's; FreeImage pads each to 4 bytes and
    // orders the channels by the machine's byte order.
    const auto* in = static_cast<const BYTE*>(bgra);
    for (unsigned int y = 0; y < height; ++y) {
        BYTE* out = FreeImage_GetScanLine(bitmap, static_cast<int>(y));
        for (unsigned int x = 0; x < width; ++x, in += 4, out += 3) {
            out[FI_RGBA_BLUE] = in[0];
            out[FI_RGBA_GREEN] = in[1];
            out[FI_RGBA_RED] = in[2];
        }
    }
    bool encoded = false;
    if (FIMEMORY* memory = FreeImage_OpenMemory()) {
        BYTE* bytes = nullptr;
        DWORD size = 0;
        if (FreeImage_SaveToMemory(FIF_PNG, bitmap, memory, PNG_DEFAULT) &&
            FreeImage_AcquireMemory(memory, &bytes, &size) && bytes && size > 0) {
            png.assign(bytes, bytes + size);
            encoded = true;
        }
        FreeImage_CloseMemory(memory);
    }
    FreeImage_Unload(bitmap);
    return encoded;
}
