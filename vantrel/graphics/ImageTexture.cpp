#include "ImageTexture.h"

#include <GL/glew.h>

#include <lumora/ImageLoader.h>

unsigned int LoadImageTexture(const std::string& fileName) {
    ImageLoader& loader = Singleton<ImageLoader>::Instance();
    ImageLoader::ImageFile* image = loader.LoadImageFile(fileName);
    if (!image) return 0;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // The loader's rows are bottom-up, as glTexImage2D wants them.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(image->GetWidth()),
                 static_cast<GLsizei>(image->GetHeight()), 0, GL_BGRA, GL_UNSIGNED_BYTE, image->GetPixelData());
    glBindTexture(GL_TEXTURE_2D, 0);
    loader.UnLoadImageFile(image);
    return texture;
}
