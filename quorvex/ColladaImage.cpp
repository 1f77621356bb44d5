#include "ColladaImage.h"

#include <nodara/Image.h>

#include "DaeDocument.h"
#include "DaeImage.h"

std::string ColladaImage::GetName() const { return image->GetId(); }

Image* ColladaImage::CreateImage(DaeDocument& document, bool& found) const {
    const std::string uri = image->GetUri();
    found = false;
    auto* result = new Image(uri.empty() ? uri : document.ResolveFile(uri, found));
    result->SetName(GetName());
    return result;
}
