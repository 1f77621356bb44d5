#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include <pugixml.hpp>

class DaeArchive;
class DaeExtractFolder;
class DaeGeometry;
class DaeImage;
class DaeMaterial;

/// A COLLADA 1.4 or 1.5 document read into memory: the XML tree (any encoding
/// pugixml detects), an index of its ids, and the geometry, material and image
/// readers made from it. A ".zae" archive is read through its root document.
/// Everything is freed with the document; the converted model copies what it keeps.
class DaeDocument {
public:
    /// Name and version of this reader, for the load log line.
    static const char* const ReaderName;
    static constexpr int ReaderVersionMajor = 1;
    static constexpr int ReaderVersionMinor = 0;

    /// Where a file the document names was found.
    struct FileLocation {
        enum Status {
            Found,         ///< `path` is a regular file
            Missing,       ///< nothing is at `path`, where it was looked for (empty: the name is empty)
            NotRegular,    ///< `path` is a folder, FIFO, device, ...: never to be read
            NotExtracted,  ///< the archive holds it, but `problem` kept it from being extracted
            NotInArchive,  ///< the document is in an archive, which does not hold `path`; nothing outside is read
        };
        Status status = Missing;
        std::string path;
        std::string problem;
        /// For a file extracted from an archive: its folder, which lives as
        /// long as anyone holds it.
        std::shared_ptr<DaeExtractFolder> folder;
    };

    DaeDocument();
    ~DaeDocument();
    DaeDocument(const DaeDocument&) = delete;
    DaeDocument& operator=(const DaeDocument&) = delete;

    /// Reads `fileName`; false with `reason` set when it is missing, not a
    /// regular file, not XML, malformed or not a COLLADA document.
    bool Load(const std::string& fileName, std::string& reason);

    /// The <visual_scene> that <scene>/<instance_visual_scene> names; null
    /// when there is none. A URL naming nothing sets `danglingUrl`.
    pugi::xml_node GetVisualScene(std::string& danglingUrl) const;

    /// The first element with this id (later duplicates are ignored), or null.
    pugi::xml_node FindById(std::string_view id) const;
    /// The element a local URL ("#id") names; null for other URLs.
    pugi::xml_node ResolveUrl(const char* url) const;

    /// The reader for a <geometry>, <material> or <image> element, made on
    /// first use and kept with the document; null for any other element.
    DaeGeometry* GetGeometry(pugi::xml_node element);
    DaeMaterial* GetMaterial(pugi::xml_node element);
    DaeImage* GetImage(pugi::xml_node element);

    /// Where the renderer finds a file the document names (an image's
    /// <init_from>): resolved against the document's folder or, for a
    /// document in an archive, extracted from the archive. A document in an
    /// archive is never given a file from outside it: a name the archive does
    /// not hold ("../../x.png", "/abs/x.png") is NotInArchive.
    FileLocation ResolveFile(const std::string& uri);

    /// Bytes of the document text: no array of it can hold more numbers than
    /// half of that, which bounds every allocation a count asks for.
    std::size_t GetTextSize() const { return textSize; }

private:
    bool ParseFile(const std::string& path, std::string& reason);
    bool Parsed(const pugi::xml_parse_result& result, std::string& reason);
    bool CheckRoot(std::string& reason) const;
    void IndexIds();

    void* mapping = nullptr;  ///< the file, mapped privately and parsed in place
    std::size_t mappingSize = 0;
    pugi::xml_document xml;
    std::size_t textSize = 0;
    std::string folder;                    ///< folder of the file on disk, with trailing '/'
    std::unique_ptr<DaeArchive> archive;   ///< set while reading a ".zae"
    std::string archiveText;               ///< the root document of an archive, parsed in place
    std::string archiveFolder;             ///< folder of the root document inside the archive
    std::unordered_map<std::string_view, pugi::xml_node_struct*> ids;
    std::unordered_map<pugi::xml_node_struct*, std::unique_ptr<DaeGeometry>> geometries;
    std::unordered_map<pugi::xml_node_struct*, std::unique_ptr<DaeMaterial>> materials;
    std::unordered_map<pugi::xml_node_struct*, std::unique_ptr<DaeImage>> images;
};
