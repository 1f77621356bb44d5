#pragma once
#include <string>
#include <vector>

#include <nodara/Logger.h>

class Light;

/// Builds the engine's three GLSL programs from the shader files in the data
/// folder and hands out their GL names by program type and light kind.
class OglShaderManager {
public:
    /// Index into the program list.
    enum ProgramType {
        FixedFunction = 0,      ///< always 0: no program
        Lighting = 1,           ///< per-pixel lighting
        ShadowMapping = 2,      ///< shadow mapping
        EnvironmentMapping = 3  ///< environment-mapped reflection
    };

    /// How light 0 shines, for the programs that light per pixel.
    enum LightKind {
        AnyLight = 0,   ///< attenuation and spot cone as fixed function applies them
        PlainLight = 1  ///< neither: every pixel takes the light's full share
    };

    /// PlainLight for a light without attenuation (constant 1, linear and
    /// quadratic 0), without a spot cone (a cutoff over 90 degrees) and with
    /// a w of 0 or more; AnyLight otherwise.
    static LightKind KindOf(const Light& light);

    /// Empty program list; no GL call.
    OglShaderManager() = default;
    OglShaderManager(const OglShaderManager&) = default;
    OglShaderManager& operator=(const OglShaderManager&) = default;
    /// Stops using any program and deletes every program built. Needs the
    /// context current.
    ~OglShaderManager();

    /// Builds the three programs, in ProgramType order, from the files of
    /// ShaderSources (relative to the working directory), and of each whose
    /// files name PLAIN_LIGHT a copy built with it defined as 1. A row whose file is
    /// missing or empty is reported and keeps its slot with the value 0, so
    /// the program types never shift. A second call deletes the programs of
    /// the first before it builds.
    /// @return true when every file was read, every shader compiled and every program linked.
    bool CreateShaders();

    /// The program of `type`, or 0 for a type not (yet) built. For a
    /// PlainLight, its copy for such lights where it has one.
    unsigned int GetProgram(OglShaderManager::ProgramType type, LightKind light = AnyLight) const;

    static Logger logger;  ///< "OglShaderManager"

private:
    /// Vertex and fragment shader path of each program, Lighting first.
    static const char* const ShaderSources[3][2];

    /// Replaces `text` with the file's bytes; false (text cleared) when the
    /// file cannot be opened or is empty.
    static bool LoadFromFile(const char* path, std::string& text);
    /// True (and the info log reported) when `shader` failed to compile.
    static bool CompilerError(unsigned int shader, const char* path);
    /// True (and the info log reported) when `program` failed to link.
    static bool LinkerError(unsigned int program);
    /// Stops using any program, deletes every program built and empties the list.
    void DeletePrograms();
    /// A compiled shader of `type` from `text`; 0 when GL could not create one.
    static unsigned int Compile(unsigned int type, const std::string& text, const char* path, bool& result);
    /// A linked program of the two texts, its samplers on their units; 0
    /// when GL could not create one, and `result` false on any error.
    static unsigned int Build(const std::string& vertexText, const std::string& fragmentText,
                              const char* const paths[2], bool& result);

    std::vector<unsigned int> programs;
    /// By program type, the copy for a PlainLight; 0 where there is none.
    std::vector<unsigned int> plainPrograms;
};
