// Files from anywhere: missing, broken, lying or hostile documents give null
// (with the load error) or a model holding what could be converted, never a
// crash, a hang or an index outside the model's arrays.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Image.h>
#include <nodara/Mesh.h>
#include <nodara/ModelNode.h>

#include "ColladaLibraryManager.h"
#include "ColladaModelLoader.h"
#include "DaeArchive.h"
#include "DaeDocument.h"
#include "QuorvexTestSupport.h"

namespace {

/// A mesh "m" with the given sources and primitive, instanced by node "N".
std::string MeshDocument(const std::string& sources, const std::string& primitive) {
    return Document("<library_geometries><geometry id=\"m\"><mesh>" + sources +
                        "<vertices id=\"v\"><input semantic=\"POSITION\" source=\"#p\"/></vertices>" + primitive +
                        "</mesh></geometry></library_geometries>",
                    "<node id=\"N\"><instance_geometry url=\"#m\"/></node>");
}

std::string Source(const std::string& id, const std::string& numbers, const std::string& accessorAttributes,
                   const std::string& arrayCount = "") {
    return "<source id=\"" + id + "\"><float_array id=\"" + id + "a\"" +
           (arrayCount.empty() ? "" : " count=\"" + arrayCount + "\"") + ">" + numbers +
           "</float_array><technique_common><accessor source=\"#" + id + "a\" " + accessorAttributes +
           "/></technique_common></source>";
}

/// A hand-made stored (uncompressed) zip: no zip tool needed at test time.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string archive, directory;
    auto le = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    auto crc32 = [](const std::string& data) {
        std::uint32_t crc = 0xffffffffu;
        for (unsigned char c : data) {
            crc ^= c;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    for (const auto& [name, data] : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        std::string header;
        le(header, 0, 2);  // version needed
        le(header, 0, 2);  // flags
        le(header, 0, 2);  // stored
        le(header, 0, 4);  // time and date
        le(header, crc32(data), 4);
        le(header, static_cast<std::uint32_t>(data.size()), 4);
        le(header, static_cast<std::uint32_t>(data.size()), 4);
        le(header, static_cast<std::uint32_t>(name.size()), 2);
        le(header, 0, 2);
        archive += std::string("PK\x03\x04", 4) + header + name + data;
        directory += std::string("PK\x01\x02", 4);
        le(directory, 20, 2);
        directory += header;
        le(directory, 0, 2);  // comment length
        le(directory, 0, 2);  // disk
        le(directory, 0, 2);  // internal attributes
        le(directory, 0, 4);  // external attributes
        le(directory, offset, 4);
        directory += name;
    }
    std::string end = std::string("PK\x05\x06", 4);
    le(end, 0, 4);
    le(end, static_cast<std::uint32_t>(entries.size()), 2);
    le(end, static_cast<std::uint32_t>(entries.size()), 2);
    le(end, static_cast<std::uint32_t>(directory.size()), 4);
    le(end, static_cast<std::uint32_t>(archive.size()), 4);
    le(end, 0, 2);
    return archive + directory + end;
}

std::size_t CountFiles(const std::string& folder) {
    std::size_t files = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        files += entry.is_regular_file() ? 1 : 0;
    return files;
}

std::size_t CountFolders(const std::string& folder) {
    std::size_t folders = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        folders += entry.is_directory() ? 1 : 0;
    return folders;
}

/// A triangle drawn with one material per image; image "i<n>" names uris[n].
std::string ImagesDocument(const std::vector<std::string>& uris) {
    std::string libraries, bindings;
    for (std::size_t i = 0; i < uris.size(); ++i) {
        const std::string n = std::to_string(i);
        libraries += "<library_images><image id=\"i" + n + "\"><init_from>" + uris[i] +
                     "</init_from></image></library_images><library_effects><effect id=\"fx" + n +
                     "\"><profile_COMMON><technique sid=\"t\"><lambert><diffuse><texture texture=\"i" + n +
                     "\"/></diffuse></lambert></technique></profile_COMMON></effect></library_effects>"
                     "<library_materials><material id=\"m" + n + "\"><instance_effect url=\"#fx" + n +
                     "\"/></material></library_materials>";
        bindings += "<instance_material symbol=\"s" + n + "\" target=\"#m" + n + "\"/>";
    }
    libraries += "<library_geometries>" + MeshGeometry("tri", "0 0 0 1 0 0 1 1 0", "") + "</library_geometries>";
    return Document(libraries, "<node id=\"N\"><instance_geometry url=\"#tri\"><bind_material><technique_common>" +
                                   bindings + "</technique_common></bind_material></instance_geometry></node>");
}

/// A real 1x1 PNG image.
const std::string OnePixelPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02\x00"
    "\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00\x00\x03\x01\x01\x00"
    "\xc9\xfe\x92\xef\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    69);

const std::string FourPositions = Source("p", "0 0 0 1 0 0 1 1 0 0 1 0", "count=\"4\" stride=\"3\"");

class ColladaBadInput : public testing::Test {
protected:
    LoadResult Load(const std::string& content, const std::string& name = "bad.dae") {
        return LoadCapturing(folder.Write(name, content));
    }

    /// Loads and expects a model that is safe to draw.
    LoadResult LoadModel(const std::string& content) {
        LoadResult result = Load(content);
        EXPECT_TRUE(result.model) << result.Log();
        if (result.model) ExpectSafeToDraw(*result.model);
        return result;
    }

    TempFolder folder;
};

}  // namespace

TEST_F(ColladaBadInput, UnreadableFilesGiveNullAndOneErrorLine) {
    const std::string missing = folder.GetPath() + "/missing.dae";
    const LoadResult result = LoadCapturing(missing);
    EXPECT_FALSE(result.model);
    EXPECT_EQ(result.Count("[Error] ColladaModelLoader - Can not load file=" + missing + "."), 1u) << result.Log();
    EXPECT_EQ(result.Count("[Error]"), 1u);

    const std::string full = Document("", "<node id=\"N\"/>");
    struct Row {
        const char* what;
        std::string content;
    } rows[] = {
        {"empty", ""},
        {"not XML", "PNG\x89 binary \x01\x02 garbage"},
        {"not COLLADA", "<html><body>car</body></html>"},
        {"truncated", full.substr(0, full.size() / 2)},
        {"broken zip", std::string("PK\x03\x04", 4) + "not really a zip"},
    };
    for (const Row& row : rows) {
        const std::string path = folder.Write("row.dae", row.content);
        const LoadResult bad = LoadCapturing(path);
        EXPECT_FALSE(bad.model) << row.what;
        EXPECT_EQ(bad.Count("[Error] ColladaModelLoader - Can not load file=" + path + "."), 1u) << row.what << "\n" << bad.Log();
        EXPECT_EQ(bad.Count("[Error]"), 1u) << row.what;
    }
}

TEST_F(ColladaBadInput, DocumentsWithoutAVisualSceneGiveNullQuietly) {
    const LoadResult none = Load("<COLLADA version=\"1.4.1\"><library_geometries/></COLLADA>");
    EXPECT_FALSE(none.model);
    EXPECT_EQ(none.Count("[Error]"), 0u);
    EXPECT_EQ(none.Count("[Warn]"), 0u);
    const LoadResult dangling = Load("<COLLADA><scene><instance_visual_scene url=\"#nowhere\"/></scene></COLLADA>");
    EXPECT_FALSE(dangling.model);
    EXPECT_EQ(dangling.Count("'#nowhere', which names no visual scene"), 1u) << dangling.Log();
    // A scene without children is an empty model, not a failure.
    const LoadResult empty = Load(Document("", ""));
    ASSERT_TRUE(empty.model);
    EXPECT_EQ(empty.model->GetModelNode()->GetChildCount(), 0u);
}

TEST_F(ColladaBadInput, IndicesPastTheirSourceDropTheirTriangles) {
    const std::string primitive = R"(<triangles count="4"><input semantic="VERTEX" source="#v" offset="0"/>
        <input semantic="NORMAL" source="#n" offset="1"/>
        <p>0 0 1 0 2 0   0 0 9 0 2 0   0 0 1 0 2 5   0 0 -1 0 2 0   1 0 2 0 3 0</p></triangles>)";
    const LoadResult result = LoadModel(MeshDocument(FourPositions + Source("n", "0 0 1", "count=\"1\" stride=\"3\""), primitive));
    ASSERT_TRUE(result.model);
    EXPECT_EQ(result.model->GetMesh(0u)->GetGeometry(0)->GetVertexIndices(), (std::vector<unsigned int>{0, 1, 2, 1, 2, 3}));
    EXPECT_EQ(result.Count("has 3 triangles with indices past the end of their source; they are skipped."), 1u)
        << result.Log();
}

TEST_F(ColladaBadInput, BrokenAccessorsAreSkippedOrCutShort) {
    const std::string triangle = R"(<triangles count="2"><input semantic="VERTEX" source="#v" offset="0"/>
        <input semantic="NORMAL" source="#n" offset="0"/><p>0 1 2 1 2 3</p></triangles>)";
    struct Row {
        const char* what;
        std::string sources;
        const char* expectedLine;
        std::size_t vertices, triangles;
    } rows[] = {
        {"stride 0", Source("p", "0 0 0 1 0 0 1 1 0 0 1 0", "count=\"4\" stride=\"0\""),
         "Vertex data of mesh 'm' is skipped: its stride of '0' steps nowhere.", 0, 0},
        {"stride below the components", Source("p", "0 0 0 1 0 0 1 1 0 0 1 0", "count=\"4\" stride=\"2\""),
         "is skipped: its stride of '2' is smaller than the 3 components read.", 0, 0},
        {"count past the array", Source("p", "0 0 0 1 0 0 1 1 0 0 1", "count=\"1000000000\" stride=\"3\"", "4000000000"),
         "is cut short: its accessor counts 1000000000 elements but its array holds 3.", 3, 1},
        {"no accessor", "<source id=\"p\"><float_array id=\"pa\">0 0 0</float_array></source>",
         "Vertex data of mesh 'm' is skipped: it has no accessor.", 0, 0},
        {"no numbers", Source("p", "0 0 0 x 0 0 1 1 0 0 1 0", "count=\"4\" stride=\"3\""),
         "has 1 values that are no numbers; they read as 0.", 4, 2},
    };
    for (const Row& row : rows) {
        const LoadResult result = LoadModel(MeshDocument(row.sources + Source("n", "0 0 1 0 0 1 0 0 1 0 0 1", "count=\"4\" stride=\"3\""), triangle));
        if (!result.model) continue;
        EXPECT_EQ(result.Count(row.expectedLine), 1u) << row.what << "\n" << result.Log();
        EXPECT_EQ(CountVertices(*result.model), row.vertices) << row.what;
        EXPECT_EQ(CountTriangles(*result.model), row.triangles) << row.what;
    }
}

TEST_F(ColladaBadInput, PolygonCountsThatLieAreHeldToTheIndices) {
    const std::string primitive = R"(<polylist count="99"><input semantic="VERTEX" source="#v" offset="0"/>
        <vcount>4 2 0 3 4000000000</vcount><p>0 1 2 3  0 1  1 2 3  0 1</p></polylist>)";
    const LoadResult result = LoadModel(MeshDocument(FourPositions, primitive));
    ASSERT_TRUE(result.model);
    EXPECT_EQ(CountTriangles(*result.model), 3u);
    EXPECT_EQ(result.Count("has 2 polygons with fewer than 3 vertices; they are skipped."), 1u) << result.Log();
    EXPECT_EQ(result.Count("more vertices in 'vcount' than 'p' holds"), 1u);
    // A <p> that ends inside a vertex or a triangle.
    const LoadResult cut = LoadModel(MeshDocument(FourPositions,
        R"(<triangles count="5"><input semantic="VERTEX" source="#v" offset="0"/><input semantic="TEXCOORD" source="#v" offset="1"/>
           <p>0 0 1 1 2 2 3 3 1</p></triangles>)"));
    ASSERT_TRUE(cut.model);
    EXPECT_EQ(CountTriangles(*cut.model), 1u);
    EXPECT_EQ(cut.Count("numbers after its last whole vertex"), 1u) << cut.Log();
    EXPECT_EQ(cut.Count("1 vertices after its last whole triangle"), 1u);
}

TEST_F(ColladaBadInput, DanglingReferencesAreSkippedWithAWarning) {
    const std::string libraries = R"(<library_effects><effect id="fx"><profile_COMMON><technique sid="t"><phong>
        <diffuse><texture texture="no-sampler"/></diffuse></phong></technique></profile_COMMON></effect></library_effects>
        <library_materials><material id="paint"><instance_effect url="#fx"/></material>
        <material id="broken"><instance_effect url="#no-effect"/></material></library_materials>
        <library_geometries><geometry id="m"><mesh>)" + FourPositions + R"(
        <vertices id="v"><input semantic="POSITION" source="#p"/></vertices>
        <triangles material="a" count="1"><input semantic="VERTEX" source="#v" offset="0"/>
          <input semantic="NORMAL" source="#no-normals" offset="0"/><p>0 1 2</p></triangles>
        </mesh></geometry><geometry id="spline"><spline/></geometry></library_geometries>)";
    const std::string nodes = R"(<node id="N">
        <instance_geometry url="#nothing"/><instance_geometry url="other.dae#m"/><instance_geometry url="#spline"/>
        <instance_geometry url="#m"><bind_material><technique_common>
          <instance_material symbol="a" target="#paint"/><instance_material symbol="b" target="#missing"/>
          <instance_material symbol="c" target="#broken"/>
        </technique_common></bind_material></instance_geometry>
        <instance_node url="#ghost"/><instance_camera url="#camera"/></node>)";
    const LoadResult result = LoadModel(Document(libraries, nodes));
    ASSERT_TRUE(result.model);
    EXPECT_EQ(result.Count("Geometry instance '#nothing' names no geometry; it is skipped."), 1u) << result.Log();
    EXPECT_EQ(result.Count("Geometry instance 'other.dae#m' names no geometry"), 1u);
    EXPECT_EQ(result.Count("[Warn] ColladaLibraryManager - Can not convert 'spline' to mesh in model 'Scene'."), 1u);
    EXPECT_EQ(result.Count("Material binding 'b' names '#missing', which is no material; it is skipped."), 1u);
    EXPECT_EQ(result.Count("Texture 'no-sampler' of material 'paint' leads to no image; it is skipped."), 1u);
    EXPECT_EQ(result.Count("Node 'N' instances '#ghost', which names no node; it is skipped."), 1u);
    EXPECT_EQ(result.Count("skips an input: its source '#no-normals' is missing or can not be read."), 1u);
    // Without normals the triangle gets a flat one, so the draw paths can read it.
    EXPECT_EQ(result.Count("Polygon group 'm_0' has no normals; flat ones are made for it."), 1u);
    const Mesh& mesh = *result.model->GetMesh(0u);
    ASSERT_EQ(mesh.GetNormalArraySize(), 1u);
    EXPECT_FLOAT_EQ(mesh.GetNormalArray()[0].z, 1.0f);
    EXPECT_EQ(result.model->GetMaterialCount(), 1u);  // "broken" has no effect to read
}

TEST_F(ColladaBadInput, NodeCyclesAndDeepNestingEnd) {
    const LoadResult cycle = LoadModel(Document("",
        R"(<node id="A"><node id="B"><instance_node url="#A"/><instance_node url="#B"/></node></node>)"));
    ASSERT_TRUE(cycle.model);
    EXPECT_EQ(GroupNames(*cycle.model), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(cycle.Count("instances its own ancestor"), 2u) << cycle.Log();

    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<node id=\"n" + std::to_string(i) + "\">";
    for (int i = 0; i < 5000; ++i) deep += "</node>";
    const LoadResult nested = LoadModel(Document("", deep));
    ASSERT_TRUE(nested.model);
    EXPECT_EQ(GroupNames(*nested.model).size(), ColladaLibraryManager::MaxNodeDepth);
    EXPECT_EQ(nested.Count("levels; the deeper nodes are skipped."), 1u);
}

TEST_F(ColladaBadInput, InstancingCanNotMultiplyWithoutEnd) {
    // Each level instances the one below twice: 2^40 nodes if nothing stopped it.
    std::string library = "<library_nodes><node id=\"L0\"/>";
    for (int i = 1; i <= 40; ++i)
        library += "<node id=\"L" + std::to_string(i) + "\"><instance_node url=\"#L" + std::to_string(i - 1) +
                   "\"/><instance_node url=\"#L" + std::to_string(i - 1) + "\"/></node>";
    library += "</library_nodes>";
    const LoadResult result = LoadModel(Document(library, "<node id=\"Top\"><instance_node url=\"#L40\"/></node>"));
    ASSERT_TRUE(result.model);
    EXPECT_LE(GroupNames(*result.model).size(), ColladaLibraryManager::MaxNodes);
    EXPECT_EQ(result.Count("nodes; the rest of the scene is skipped."), 1u) << result.Log().substr(0, 2000);
}

TEST_F(ColladaBadInput, InstancingWorkIsBoundedOverTheWholeWalk) {
    // "A" instances "B" 2000 times, and B holds 1500 broken references. Read
    // again on each visit, that is 3000 element reads and 1500 warnings per
    // visit: 6 million reads and 3 million lines without a bound.
    const int visits = 2000, brokenThirds = 500;
    std::string b = "<library_nodes><node id=\"B\">";
    for (int i = 0; i < brokenThirds; ++i)
        b += R"(<instance_node url="#gone"/><instance_node url="#B"/><instance_geometry url="#none"/>)";
    b += "</node></library_nodes>";
    std::string a = "<node id=\"A\">";
    for (int i = 0; i < visits; ++i) a += R"(<instance_node url="#B"/>)";
    a += "</node>";
    const std::string path = folder.Write("instancing.dae", Document(b, a));

    // The walk by hand, to see what it read.
    DaeDocument document;
    std::string reason;
    ASSERT_TRUE(document.Load(path, reason)) << reason;
    const pugi::xml_node scene = document.GetVisualScene(reason);
    Model model;
    model.SetName("Scene");
    std::unique_ptr<GroupNode> top;
    std::size_t reads = 0;
    testing::internal::CaptureStdout();
    {
        ColladaLibraryManager library(model, document);
        top.reset(ColladaModelLoader().ConvertNode(ColladaNode(DaeSceneNode(scene.child("node"))), &library));
        reads = library.GetElementsRead();
    }  // the recurring problems are logged here
    std::istringstream output(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);) lines.push_back(line);
    const auto count = [&lines](const std::string& text) {
        return std::count_if(lines.begin(), lines.end(),
                             [&text](const std::string& line) { return line.find(text) != std::string::npos; });
    };

    // Stopped within one node's reads of the budget, keeping what was made.
    EXPECT_LE(reads, ColladaLibraryManager::MaxElementReads + 2 * 3 * brokenThirds);
    EXPECT_GT(top->GetChildCount(), 0u);
    EXPECT_LT(top->GetChildCount(), static_cast<unsigned>(visits));
    EXPECT_EQ(count("[Error] ColladaLibraryManager - Model 'Scene' makes its scene walk read more than " +
                    std::to_string(ColladaLibraryManager::MaxElementReads) + " elements"), 1);
    // Each problem once, however often it was met.
    EXPECT_EQ(count("Node 'B' instances '#gone', which names no node; it is skipped (seen "), 1);
    EXPECT_EQ(count("Node 'B' instances its own ancestor 'B'; the cycle is cut there (seen "), 1);
    EXPECT_EQ(count("Geometry instance '#none' names no geometry; it is skipped (seen "), 1);
    EXPECT_EQ(lines.size(), 4u) << lines.size();
}

TEST_F(ColladaBadInput, HugeDeclaredCountsAllocateNothingBig) {
    // Under the sanitizers an allocation of gigabytes aborts the test.
    const std::string primitive = R"(<triangles count="4000000000"><input semantic="VERTEX" source="#v" offset="0"/>
        <input semantic="TEXCOORD" source="#v" offset="255"/><p>0 1 2</p></triangles>
        <polylist count="4000000000"><input semantic="VERTEX" source="#v" offset="0"/><vcount>4000000000</vcount><p>0 1 2 3</p></polylist>)";
    const LoadResult result = LoadModel(MeshDocument(
        Source("p", "0 0 0 1 0 0 1 1 0 0 1 0", "count=\"18446744073709551615\" stride=\"3\" offset=\"99999999999\"",
               "18446744073709551615"),
        primitive));
    ASSERT_TRUE(result.model);
    const LoadResult offset = LoadModel(MeshDocument(FourPositions,
        R"(<triangles count="1"><input semantic="VERTEX" source="#v" offset="100000"/><p>0 1 2</p></triangles>)"));
    EXPECT_EQ(offset.Count("has an input offset above 255; it is skipped."), 1u) << offset.Log();
}

TEST_F(ColladaBadInput, ArchivesAreReadThroughTheirRootDocument) {
    const std::string document = Document(
        R"(<library_images><image id="skin"><init_from>./Textures/skin%20tone.png</init_from></image></library_images>
           <library_effects><effect id="fx"><profile_COMMON><technique sid="t"><lambert><diffuse><texture texture="skin"/>
           </diffuse></lambert></technique></profile_COMMON></effect></library_effects>
           <library_materials><material id="m"><instance_effect url="#fx"/></material></library_materials>
           <library_geometries>)" + MeshGeometry("quad", "0 0 0 1 0 0 1 1 0", "<triangles material=\"s\" count=\"1\"><input semantic=\"VERTEX\" source=\"#quad-vertices\" offset=\"0\"/><p>0 1 2</p></triangles>") +
            "</library_geometries>",
        "<node id=\"N\"><instance_geometry url=\"#quad\"><bind_material><technique_common><instance_material "
        "symbol=\"s\" target=\"#m\"/></technique_common></bind_material></instance_geometry></node>");
    const std::string withManifest = StoredZip({{"manifest.xml", "<dae_root>./models/my%20car.dae</dae_root>"},
                                                {"models/my car.dae", document},
                                                {"other.dae", "<COLLADA/>"},
                                                {"models/textures/Skin Tone.png", "pixels"},
                                                {"models/textures/unused.png", "never named"}});
    LoadResult result = Load(withManifest, "car.zae");
    ASSERT_TRUE(result.model) << result.Log();
    ExpectSafeToDraw(*result.model);
    const std::string image = result.model->GetImage("skin")->GetFilename();
    std::ifstream extracted(image);
    std::string pixels;
    extracted >> pixels;
    EXPECT_EQ(pixels, "pixels") << image;  // extracted where the renderer will look
    // Only what the document names is extracted; the engine reads it after
    // the load, so it stays until the model that names it is gone.
    const std::string entry = "/models/textures/Skin Tone.png";
    const std::string extractFolder = image.substr(0, image.size() - entry.size());
    EXPECT_EQ(CountFiles(extractFolder), 1u) << extractFolder;
    result.model.reset();
    EXPECT_FALSE(std::filesystem::exists(extractFolder)) << extractFolder;

    const LoadResult single = Load(StoredZip({{"only.dae", document}}), "single.zae");
    EXPECT_TRUE(single.model) << single.Log();
    const LoadResult ambiguous = Load(StoredZip({{"a.dae", document}, {"b.dae", document}}), "two.zae");
    EXPECT_FALSE(ambiguous.model);
    EXPECT_EQ(ambiguous.Count("archive holds no root document"), 1u) << ambiguous.Log();
    // An entry name that climbs out of the archive is never written.
    std::string climbing = document;
    climbing.replace(climbing.find("./Textures/skin%20tone.png"), 26, "../evil.png");
    const LoadResult escape = Load(StoredZip({{"x.dae", climbing}, {"../evil.png", "evil"}}), "escape.zae");
    ASSERT_TRUE(escape.model) << escape.Log();
    EXPECT_FALSE(std::ifstream(escape.model->GetImage("skin")->GetFilename()).good());
    EXPECT_EQ(escape.Count("Image 'skin' names the file"), 1u) << escape.Log();
}

TEST_F(ColladaBadInput, ArchivesUnpackNoMoreThanTheirByteLimit) {
    const std::string tenKiB(10240, 'x');
    const std::string path =
        folder.Write("many.zae", StoredZip({{"a.png", tenKiB}, {"b.png", tenKiB}, {"c.png", tenKiB}}));
    // Room for the folder, two files and the cost of a third, not for its bytes.
    const std::uint64_t limit = 4 * DaeArchive::FileCost + 2 * tenKiB.size() + 100;
    std::string extractFolder;
    {
        DaeArchive archive(limit);
        std::string reason;
        ASSERT_TRUE(archive.Open(path, reason)) << reason;
        const std::string a = archive.Extract("a.png", reason);
        ASSERT_FALSE(a.empty()) << reason;
        EXPECT_EQ(archive.Extract("a.png", reason), a);  // asked for again, not unpacked again
        EXPECT_FALSE(archive.Extract("b.png", reason).empty()) << reason;
        EXPECT_EQ(archive.Extract("c.png", reason), "");
        EXPECT_NE(reason.find(std::to_string(limit)), std::string::npos) << reason;
        EXPECT_LE(archive.GetBytesUnpacked(), limit);
        ASSERT_TRUE(archive.GetExtractFolder());
        extractFolder = archive.GetExtractFolder()->GetPath();
        EXPECT_EQ(CountFiles(extractFolder), 2u);  // no partial "c.png"
    }
    // No image kept a share of the folder: it went with the archive, as after a failed load.
    EXPECT_FALSE(std::filesystem::exists(extractFolder)) << extractFolder;
}

TEST_F(ColladaBadInput, ArchivesChargeEveryFolderAndRefuseDeepOrLongNames) {
    // The attack: 40 entries 400 folders deep, half of them ending in a name
    // longer than any file system takes. Once this made 16,040 folders while
    // the byte limit was charged 81,940 bytes.
    std::string deep;
    for (int i = 0; i < 399; ++i) deep += "d/";
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 40; ++i)
        entries.emplace_back("e" + std::to_string(i) + "/" + deep + (i % 2 ? std::string(300, 'n') : "x.png"), "x");
    const std::string deepPath = folder.Write("deep.zae", StoredZip(entries));
    {
        DaeArchive archive;
        std::string reason;
        ASSERT_TRUE(archive.Open(deepPath, reason)) << reason;
        for (const auto& [name, data] : entries) {
            reason.clear();
            EXPECT_EQ(archive.Extract(name, reason), "");
            EXPECT_TRUE(reason.find("more than 32") != std::string::npos ||
                        reason.find("longer than the 255 bytes") != std::string::npos)
                << reason;
            EXPECT_LT(reason.size(), 300u) << "one readable line, not the whole name: " << reason;
        }
        // Refused up front: not a folder made, not even the archive's own.
        const auto& extractFolder = archive.GetExtractFolder();
        const std::size_t made = extractFolder ? 1 + CountFolders(extractFolder->GetPath()) : 0;
        EXPECT_EQ(made, 0u);
        EXPECT_LE(made, archive.GetBytesUnpacked() / DaeArchive::FileCost);
    }

    // Each limit on its own, just within and just past it.
    std::string deepest, tooDeep, longest;
    for (int i = 0; i < 31; ++i) deepest += "f/";
    tooDeep = deepest + "f/x.png";
    deepest += "x.png";
    const std::string longName(255, 'l'), tooLongName(256, 'l');
    for (int i = 0; i < 20; ++i) longest += std::string(250, 'a' + i) + "/";
    longest += "x.png";  // every part fits, the whole is longer than PATH_MAX
    const std::string limitsPath = folder.Write(
        "limits.zae", StoredZip({{deepest, "32"}, {tooDeep, "33"}, {longName, "255"}, {tooLongName, "256"},
                                 {longest, "long"}}));
    {
        DaeArchive archive;
        std::string reason;
        ASSERT_TRUE(archive.Open(limitsPath, reason)) << reason;
        EXPECT_NE(archive.Extract(deepest, reason), "") << reason;
        EXPECT_NE(archive.Extract(longName, reason), "") << reason;
        EXPECT_EQ(archive.Extract(tooDeep, reason), "");
        EXPECT_NE(reason.find("is 33 folders and file deep, more than 32"), std::string::npos) << reason;
        EXPECT_EQ(archive.Extract(tooLongName, reason), "");
        EXPECT_NE(reason.find("has a part longer than the 255 bytes a file name may have"), std::string::npos)
            << reason;
        EXPECT_EQ(archive.Extract(longest, reason), "");
        EXPECT_NE(reason.find("is longer than the 4095 bytes a path may have"), std::string::npos) << reason;
        ASSERT_TRUE(archive.GetExtractFolder());
        const std::string extractFolder = archive.GetExtractFolder()->GetPath();
        EXPECT_EQ(CountFiles(extractFolder), 2u);
        EXPECT_EQ(CountFolders(extractFolder), 31u);  // those of the deepest name only
        // The archive's folder, 31 folders and 2 files, each charged.
        EXPECT_EQ(archive.GetBytesUnpacked(), (1 + 31 + 2) * DaeArchive::FileCost + 5);
    }

    // Folders are charged before they are made: an entry whose folders do not
    // fit makes none, and one that shares folders made already pays only for its file.
    const std::string chargedPath = folder.Write(
        "charged.zae", StoredZip({{"p0/q/r/s/t/f.png", "f"}, {"p1/q/r/s/t/f.png", "f"}, {"p0/q/r/s/t/g.png", "g"}}));
    const std::uint64_t limit = 10 * DaeArchive::FileCost + 10;
    {
        DaeArchive archive(limit);
        std::string reason;
        ASSERT_TRUE(archive.Open(chargedPath, reason)) << reason;
        EXPECT_NE(archive.Extract("p0/q/r/s/t/f.png", reason), "") << reason;  // 1 + 5 + 1 costs of 10
        EXPECT_EQ(archive.Extract("p1/q/r/s/t/f.png", reason), "");            // 5 + 1 more do not fit
        EXPECT_NE(reason.find(std::to_string(limit)), std::string::npos) << reason;
        EXPECT_NE(archive.Extract("p0/q/r/s/t/g.png", reason), "") << reason;  // 1 more does
        ASSERT_TRUE(archive.GetExtractFolder());
        const std::string extractFolder = archive.GetExtractFolder()->GetPath();
        EXPECT_FALSE(std::filesystem::exists(extractFolder + "/p1"));
        const std::size_t made = 1 + CountFolders(extractFolder) + CountFiles(extractFolder);
        EXPECT_EQ(made, 8u);
        EXPECT_EQ(archive.GetBytesUnpacked(), made * DaeArchive::FileCost + 2);
        EXPECT_LE(archive.GetBytesUnpacked(), limit);
    }

    // Through a load: one Warn line for each refused image, and no folder.
    std::vector<std::string> uris;
    for (const auto& [name, data] : entries) uris.push_back(name);
    entries.emplace_back("deep.dae", ImagesDocument(uris));
    const LoadResult result = Load(StoredZip(entries), "deep-model.zae");
    ASSERT_TRUE(result.model) << result.Log();
    for (unsigned i = 0; i < result.model->GetImageCount(); ++i)
        EXPECT_EQ(result.model->GetImage(i)->GetFilename(), "") << i;
    EXPECT_EQ(result.Count("is not taken from the archive: the name 'e"), entries.size() - 1) << result.Log();
}

TEST_F(ColladaBadInput, ArchivedDocumentsTakeImagesFromTheArchiveOnly) {
    // Real images outside the archive, where its references lead on disk.
    folder.Write("outside.png", OnePixelPng);
    const std::string absolute = folder.Write("abs/path.png", OnePixelPng);
    folder.Write("models/here/beside.png", OnePixelPng);  // beside the archive, not in it
    const std::vector<std::string> uris = {"../../outside.png", absolute, "file://" + absolute, "beside.png",
                                           "/home/author/textures/Inside.png", "inside.png"};
    const std::string archive = folder.Write(
        "models/here/car.zae", StoredZip({{"car.dae", ImagesDocument(uris)}, {"inside.png", OnePixelPng}}));
    const LoadResult result = LoadCapturing(archive);
    ASSERT_TRUE(result.model) << result.Log();
    ExpectSafeToDraw(*result.model);
    ASSERT_EQ(result.model->GetImageCount(), uris.size());
    for (const char* id : {"i0", "i1", "i2", "i3"}) {
        const std::string file = result.model->GetImage(id)->GetFilename();
        EXPECT_EQ(file, "") << id;  // no file for the renderer to read
        EXPECT_EQ(result.Count(std::string("Image '") + id + "' names the file '"), 1u) << result.Log();
    }
    EXPECT_EQ(result.Count("Image 'i0' names the file '../../outside.png', which the archive does not hold; "
                           "nothing outside the archive is read."),
              1u)
        << result.Log();
    EXPECT_EQ(result.Count("Image 'i1' names the file '" + absolute + "', which the archive does not hold"), 1u)
        << result.Log();
    EXPECT_EQ(result.Count("which the archive does not hold"), 4u) << result.Log();
    // An author's absolute path is looked for in the archive, beside the document.
    for (const char* id : {"i4", "i5"}) {
        const std::string file = result.model->GetImage(id)->GetFilename();
        EXPECT_NE(file.rfind(folder.GetPath(), 0), 0u) << file;  // extracted, not the files on disk
        std::ifstream extracted(file, std::ios::binary);
        std::stringstream pixels;
        pixels << extracted.rdbuf();
        EXPECT_EQ(pixels.str(), OnePixelPng) << id << " " << file;
    }
    EXPECT_TRUE(std::filesystem::exists(folder.GetPath() + "/models/here/../../outside.png"));
}

TEST_F(ColladaBadInput, OnlyRegularFilesAreHandedOnAsImages) {
    // A FIFO without a writer blocks whoever opens it; a device may never end.
    ASSERT_EQ(mkfifo((folder.GetPath() + "/pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(folder.GetPath() + "/folder.png");
    folder.Write("wood.png", "pixels");
    const std::vector<std::string> uris = {"pipe.png", "folder.png", "/dev/null", "wood.png", "missing.png"};
    const LoadResult result = LoadModel(ImagesDocument(uris));
    ASSERT_TRUE(result.model);
    ASSERT_EQ(result.model->GetImageCount(), uris.size());
    for (const char* id : {"i0", "i1", "i2"}) EXPECT_EQ(result.model->GetImage(id)->GetFilename(), "") << id;
    EXPECT_EQ(result.model->GetImage("i3")->GetFilename(), folder.GetPath() + "/wood.png");
    EXPECT_EQ(result.model->GetImage("i4")->GetFilename(), folder.GetPath() + "/missing.png");
    EXPECT_EQ(result.Count("which is not a regular file; it is not read."), 3u) << result.Log();
    EXPECT_EQ(result.Count("Image 'i2' names '/dev/null', which is not a regular file"), 1u);

    // The model file itself is never opened unless it is a regular file.
    const std::string pipe = folder.GetPath() + "/pipe.dae";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const LoadResult model = LoadCapturing(pipe);
    EXPECT_FALSE(model.model);
    EXPECT_EQ(model.Count("not a regular file"), 1u) << model.Log();
}

TEST_F(ColladaBadInput, RandomMutationsOfRealDocumentsStaySafe) {
    // Deterministic: the same mutations every run, so a failure reproduces.
    std::vector<std::string> seeds;
    for (const char* name : {"cube.dae", "materials.dae", "polygons.dae"}) {
        std::ifstream file(std::string(QUORVEX_TEST_DATA) + "/" + name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        ASSERT_FALSE(text.str().empty()) << name;
        seeds.push_back(text.str());
    }
    const char* const tokens[] = {"-1", "0", "4294967295", "999999999", "1e30", "nan", ",", "<", ">", "\"", "#",
                                  "</p>", "<p>", "count=\"99999999\"", "stride=\"0\"", "offset=\"7\"", "<node>",
                                  "<instance_node url=\"#N\"/>", "&amp;", "\xff\xfe"};
    std::mt19937 random(1234);
    const int rounds = 600;
    for (int round = 0; round < rounds; ++round) {
        std::string text = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = random() % text.size();
            switch (random() % 5) {
            case 0: text[at] = static_cast<char>(random()); break;                      // flip a byte
            case 1: text.erase(at, random() % 40); break;                               // delete a range
            case 2: text.insert(at, tokens[random() % std::size(tokens)]); break;      // insert a token
            case 3: text.insert(at, text.substr(random() % text.size(), random() % 200)); break;  // duplicate
            case 4: text.resize(at); break;                                             // truncate
            }
        }
        const LoadResult result = Load(text, "mutant.dae");
        if (result.model) ExpectSafeToDraw(*result.model);
        else EXPECT_EQ(result.Count("[Error] ColladaModelLoader - Can not load file="), 1u) << "round " << round;
        if (HasFailure()) {
            ADD_FAILURE() << "mutation round " << round << " failed; document:\n" << text.substr(0, 4000);
            break;
        }
    }
}
