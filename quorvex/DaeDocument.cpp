#include "DaeDocument.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "DaeArchive.h"
#include "DaeFilePath.h"
#include "DaeGeometry.h"
#include "DaeImage.h"
#include "DaeMaterial.h"

const char* const DaeDocument::ReaderName = "DaeReader";

namespace {

// End-of-line normalisation is left out: it only costs time on the big number
// arrays, and every reader of text here treats '\r' as whitespace.
constexpr unsigned ParseOptions = pugi::parse_default & ~pugi::parse_eol;

constexpr off_t MapThreshold = 32 << 20;  ///< bytes from which a file is mapped rather than read

/// False when something other than a regular file is at `path`.
bool IsRegularOrMissing(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

/// The element name without a namespace prefix ("c:COLLADA" gives "COLLADA").
const char* LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

}  // namespace

DaeDocument::DaeDocument() = default;

DaeDocument::~DaeDocument() {
    // The tree points into the mapping or the archive text: free it first.
    geometries.clear();
    xml.reset();
    if (mapping) munmap(mapping, mappingSize);
}

bool DaeDocument::Load(const std::string& fileName, std::string& reason) {
    folder = DaeFilePath::Folder(fileName);
    // Opening a FIFO or a device could block, or never end.
    if (!IsRegularOrMissing(fileName)) {
        reason = "not a regular file";
        return false;
    }
    if (!DaeArchive::IsArchive(fileName)) return ParseFile(fileName, reason);

    archive = std::make_unique<DaeArchive>();
    if (!archive->Open(fileName, reason)) return false;
    const std::string root = archive->FindRootDocument();
    if (root.empty()) {
        reason = "archive holds no root document";
        return false;
    }
    std::string problem;
    if (!archive->Read(root, archiveText, DaeArchive::MaxUnpackedBytes, problem)) {
        reason = "can not read '" + root + "' from the archive: " + problem;
        return false;
    }
    archiveFolder = DaeFilePath::Folder(root);
    textSize = archiveText.size();
    return Parsed(xml.load_buffer_inplace(archiveText.data(), archiveText.size(), ParseOptions, pugi::encoding_auto),
                  reason);
}

bool DaeDocument::ParseFile(const std::string& path, std::string& reason) {
    // A very big file is parsed in place in a private mapping: no read copy,
    // and its number arrays stay shared with the page cache (only the pages
    // the parser writes terminators into are copied). Below the size from
    // which the allocator maps every block afresh, reading into heap memory
    // it already has is cheaper: a document of many small elements has
    // terminators on nearly every page, and each written page of a mapping is
    // a copy.
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    const bool regular = file >= 0 && fstat(file, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && info.st_size >= MapThreshold) {
        // Mapped read-only first, so that MAP_POPULATE maps the cached pages in
        // one go instead of faulting every few pages (a writable mapping would
        // copy them all); then made writable for the parser's terminators.
        void* data = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                          file, 0);
        if (data != MAP_FAILED && mprotect(data, static_cast<std::size_t>(info.st_size), PROT_READ | PROT_WRITE) != 0) {
            munmap(data, static_cast<std::size_t>(info.st_size));
            data = MAP_FAILED;
        }
        if (data != MAP_FAILED) {
            mapping = data;
            mappingSize = static_cast<std::size_t>(info.st_size);
        }
    }
    if (file >= 0) close(file);
    if (mapping) {
        textSize = mappingSize;
        const pugi::xml_parse_result result = xml.load_buffer_inplace(mapping, mappingSize, ParseOptions, pugi::encoding_auto);
        return Parsed(result, reason);
    }
    // Without a size to go by, bound allocations by a gigabyte of text.
    textSize = regular ? static_cast<std::size_t>(info.st_size) : std::size_t(1) << 30;
    const pugi::xml_parse_result result = xml.load_file(path.c_str(), ParseOptions, pugi::encoding_auto);
    if (result.status == pugi::status_file_not_found || result.status == pugi::status_io_error) {
        reason = "can not open the file";
        return false;
    }
    return Parsed(result, reason);
}

bool DaeDocument::Parsed(const pugi::xml_parse_result& result, std::string& reason) {
    if (!result) {
        reason = std::string("XML error at byte ") + std::to_string(result.offset) + ": " + result.description();
        return false;
    }
    if (!CheckRoot(reason)) return false;
    IndexIds();
    return true;
}

bool DaeDocument::CheckRoot(std::string& reason) const {
    const pugi::xml_node root = xml.document_element();
    if (!root || std::strcmp(LocalName(root.name()), "COLLADA") != 0) {
        reason = root ? std::string("not a COLLADA document (root element '") + root.name() + "')"
                      : std::string("not a COLLADA document (no root element)");
        return false;
    }
    return true;
}

void DaeDocument::IndexIds() {
    // Iterative walk in document order, so the first of duplicate ids wins and
    // no nesting depth can exhaust the stack. Subtrees whose ids the
    // conversion never looks up (animations, cameras, the inside of a mesh,
    // whose sources are found within the mesh) are not entered.
    static const char* const unreferenced[] = {
        "asset", "mesh", "convex_mesh", "spline", "library_animations", "library_animation_clips",
        "library_controllers", "library_cameras", "library_lights", "library_physics_models",
        "library_physics_scenes", "library_physics_materials", "library_force_fields"};
    const pugi::xml_node root = xml.document_element();
    pugi::xml_node node = root;
    while (node) {
        bool enter = node.type() == pugi::node_element;
        if (enter) {
            const pugi::xml_attribute id = node.attribute("id");
            if (id && *id.value()) ids.emplace(std::string_view(id.value()), node.internal_object());
            for (const char* name : unreferenced) enter = enter && std::strcmp(node.name(), name) != 0;
        }
        pugi::xml_node next = enter ? node.first_child() : pugi::xml_node();
        while (!next && node != root) {
            next = node.next_sibling();
            if (!next) node = node.parent();
        }
        node = next;
    }
}

pugi::xml_node DaeDocument::GetVisualScene(std::string& danglingUrl) const {
    const pugi::xml_node instance = xml.document_element().child("scene").child("instance_visual_scene");
    if (!instance) return pugi::xml_node();
    const char* url = instance.attribute("url").value();
    const pugi::xml_node scene = ResolveUrl(url);
    if (!scene || std::strcmp(scene.name(), "visual_scene") != 0) {
        danglingUrl = url;
        return pugi::xml_node();
    }
    return scene;
}

pugi::xml_node DaeDocument::FindById(std::string_view id) const {
    const auto found = ids.find(id);
    return found == ids.end() ? pugi::xml_node() : pugi::xml_node(found->second);
}

pugi::xml_node DaeDocument::ResolveUrl(const char* url) const {
    if (!url || url[0] != '#') return pugi::xml_node();  // other documents are not read
    return FindById(std::string_view(url + 1));
}

DaeGeometry* DaeDocument::GetGeometry(pugi::xml_node element) {
    if (!element || std::strcmp(element.name(), "geometry") != 0) return nullptr;
    auto& slot = geometries[element.internal_object()];
    if (!slot) slot = std::make_unique<DaeGeometry>(element);
    return slot.get();
}

DaeMaterial* DaeDocument::GetMaterial(pugi::xml_node element) {
    if (!element || std::strcmp(element.name(), "material") != 0) return nullptr;
    auto& slot = materials[element.internal_object()];
    if (!slot) slot = std::make_unique<DaeMaterial>(element);
    return slot.get();
}

DaeImage* DaeDocument::GetImage(pugi::xml_node element) {
    if (!element || std::strcmp(element.name(), "image") != 0) return nullptr;
    auto& slot = images[element.internal_object()];
    if (!slot) slot = std::make_unique<DaeImage>(element);
    return slot.get();
}

DaeDocument::FileLocation DaeDocument::ResolveFile(const std::string& uri) {
    const std::string path = DaeFilePath::Normalize(DaeFilePath::DecodeUri(uri));
    FileLocation location;
    if (path.empty()) return location;

    if (archive) {
        // Only what the archive holds: a name climbing out of it, or one
        // absolute on the author's machine, must not reach the player's files.
        // An absolute name is looked for beside the document, by its last segment.
        const std::string name = DaeFilePath::IsAbsolute(path) ? archiveFolder + DaeFilePath::BaseName(path)
                                                               : DaeFilePath::Normalize(archiveFolder + path);
        const std::string entry = archive->FindEntry(name);
        if (entry.empty() || !DaeArchive::IsSafeName(entry)) {
            location.status = FileLocation::NotInArchive;
            location.path = path;
            return location;
        }
        location.path = archive->Extract(entry, location.problem);
        location.status = location.path.empty() ? FileLocation::NotExtracted : FileLocation::Found;
        if (!location.path.empty()) location.folder = archive->GetExtractFolder();
        return location;
    }
    std::string existing;
    if (DaeFilePath::IsAbsolute(path)) {
        location.path = path;
        if (path[0] == '/') existing = DaeFilePath::FindExisting("/", path.substr(1));
        // An absolute path from the author's machine: try the file beside the document.
        if (existing.empty()) existing = DaeFilePath::FindExisting(folder, DaeFilePath::BaseName(path));
    } else {
        location.path = folder + path;
        existing = DaeFilePath::FindExisting(folder, path);
    }
    if (!existing.empty()) {
        location.status = FileLocation::Found;
        location.path = existing;
    } else {
        location.status = IsRegularOrMissing(location.path) ? FileLocation::Missing : FileLocation::NotRegular;
    }
    return location;
}
