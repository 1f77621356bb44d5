#pragma once
#include <string>
#include <vector>

#include <lumora/Singleton.h>

struct FIBITMAP;

/// Reads image files of any format FreeImage knows and hands them out as
/// 32-bit pixel blocks (blue, green, red, alpha; rows bottom-up), ready for
/// one glTexImage2D upload with GL_BGRA, and encodes such blocks as PNG
/// files. Reach it through Singleton<ImageLoader>::Instance().
class ImageLoader : public Singleton<ImageLoader> {
public:
    /// One loaded image. Only the loader makes and frees them.
    class ImageFile {
    public:
        /// Takes over `bitmap`, which UnLoadImageFile releases.
        explicit ImageFile(FIBITMAP* bitmap) : bitmap(bitmap) {}
        ImageFile& operator=(const ImageFile& other) = default;

        /// In pixels.
        unsigned int GetWidth() const;
        unsigned int GetHeight() const;
        /// GetWidth() * GetHeight() * 4 bytes, bottom row first, BGRA.
        const void* GetPixelData() const;

    protected:
        friend class ImageLoader;
        FIBITMAP* GetFiBitmap() { return bitmap; }

    private:
        FIBITMAP* bitmap;
    };

    ImageLoader(const ImageLoader&) = default;
    ImageLoader& operator=(const ImageLoader&) = default;
    ~ImageLoader() override = default;

    /// Reads `fileName`, recognised by its contents first and its extension
    /// second, and converts it to 32 bits a pixel (alpha 255 where the file
    /// has none).
    /// @return a new image file for UnLoadImageFile, or null (after one
    ///         "[ERROR] ImageLoader::ImageFile: ..." line on standard output)
    ///         when the file is missing, unsupported or unreadable, or is not
    ///         a regular file (a FIFO or device is never opened).
    ImageLoader::ImageFile* LoadImageFile(const std::string& fileName);
    /// Releases the pixels and deletes `file`; null is ignored.
    void UnLoadImageFile(ImageLoader::ImageFile* file);

    /// Encodes a pixel block as the bytes of an opaque 24-bit PNG file (its
    /// alpha is dropped: a window's read-back holds no meaningful one).
    /// Touches no loader state, so any thread may call it.
    /// @param bgra `width` * `height` * 4 bytes, bottom row first, BGRA, as
    ///        GetPixelData and glReadPixels with GL_BGRA give them
    /// @param png set to the file's bytes; emptied on failure
    /// @return false when FreeImage cannot make the bitmap or the PNG, or a
    ///         size is 0
    static bool EncodePng(const void* bgra, unsigned int width, unsigned int height, std::vector<unsigned char>& png);

protected:
    friend class Singleton<ImageLoader>;
    ImageLoader() = default;
};
