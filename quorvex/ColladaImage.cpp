#include "ColladaImage.h"

#include <nodara/Image.h>

#include "ColladaArchiveImage.h"
#include "DaeImage.h"

std::string ColladaImage::GetName() const { return image->GetId(); }

Image* ColladaImage::CreateImage(DaeDocument& document, DaeDocument::FileLocation& location) const {
    const std::string uri = image->GetUri();
    location = uri.empty() ? DaeDocument::FileLocation() : document.ResolveFile(uri);
    const bool readable = location.status == DaeDocument::FileLocation::Found ||
                          location.status == DaeDocument::FileLocation::Missing;
    const std::string file = readable ? location.path : std::string();
    Image* result = location.folder ? new ColladaArchiveImage(file, location.folder) : new Image(file);
    result->SetName(GetName());
    return result;
}
