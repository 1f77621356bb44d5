#include <lumora/OglShaderManager.h>

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

#include <nodara/Light.h>

Logger OglShaderManager::logger("OglShaderManager");

const char* const OglShaderManager::ShaderSources[3][2] = {
    {"../data/shaders/Lighting.vert", "../data/shaders/Lighting.frag"},
    {"../data/shaders/ShadowMapping.vert", "../data/shaders/ShadowMapping.frag"},
    {"../data/shaders/EnvironmentMapping.vert", "../data/shaders/EnvironmentMapping.frag"},
};

namespace {

// Points a sampler at its fixed unit, if the program has it.
void SetSampler(unsigned int program, const char* name, int unit) {
    const GLint location = glGetUniformLocation(program, name);
    if (location >= 0) glUniform1i(location, unit);
}

// `text` with `define` put after its #version line (a directive that must come first), or before all.
std::string WithDefine(const std::string& text, const char* define) {
    std::size_t at = 0;
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start != std::string::npos && text.compare(start, 8, "#version") == 0) {
        const std::size_t end = text.find('\n', start);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    std::string result = text.substr(0, at);
    if (!result.empty() && result.back() != '\n') result += '\n';
    return result + define + "\n" + text.substr(at);
}

}  // namespace

OglShaderManager::LightKind OglShaderManager::KindOf(const Light& light) {
    const bool attenuated = light.GetConstantAttenuation() != 1.0f || light.GetLinearAttenuation() != 0.0f ||
                            light.GetQuadraticAttenuation() != 0.0f;
    // Fixed function takes 0..90 degrees as a cone and only 180 as none.
    const bool cone = light.GetSpotCutoff() <= 90;
    return attenuated || cone || light.GetPosition().w < 0.0f ? AnyLight : PlainLight;
}

OglShaderManager::~OglShaderManager() { DeletePrograms(); }

void OglShaderManager::DeletePrograms() {
    // Nothing built, nothing to give back (and maybe no GL to call).
    const auto none = [](const std::vector<unsigned int>& list) {
        return std::all_of(list.begin(), list.end(), [](unsigned int p) { return p == 0; });
    };
    if (none(programs) && none(plainPrograms)) {
        programs.clear();
        plainPrograms.clear();
        return;
    }
    glUseProgram(0);
    for (std::size_t i = 1; i < programs.size(); ++i)
        if (programs[i]) glDeleteProgram(programs[i]);
    for (unsigned int program : plainPrograms)
        if (program) glDeleteProgram(program);
    programs.clear();
    plainPrograms.clear();
}

bool OglShaderManager::CreateShaders() {
    // A second call builds afresh: appended behind the first set, the new
    // programs would never be handed out.
    DeletePrograms();
    programs.push_back(0);
    plainPrograms.push_back(0);
    // Without GLEW brought up on an OpenGL 2.0 context the entry points below are null.
    if (!GLEW_VERSION_2_0) {
        if (logger.IsEnabled(Logger::Error))
            Logger::Stream(logger, Logger::Error).GetStream() << "OpenGL 2.0 is not available: no programs built!";
        programs.insert(programs.end(), 3, 0u);
        plainPrograms.insert(plainPrograms.end(), 3, 0u);
        return false;
    }
    bool result = true;
    for (const auto& row : ShaderSources) {
        // Fresh texts per row: a failed read must not compile the previous row again.
        std::string vertexText;
        std::string fragmentText;
        const bool vertexRead = LoadFromFile(row[0], vertexText);
        const bool fragmentRead = LoadFromFile(row[1], fragmentText);
        if (!vertexRead || !fragmentRead) {
            result = false;
            programs.push_back(0);
            plainPrograms.push_back(0);
            continue;
        }
        bool built = true;
        programs.push_back(Build(vertexText, fragmentText, row, built));
        result = result && built;
        // A row that failed is reported once, not again for its copy.
        const bool plain = built && (vertexText + fragmentText).find("PLAIN_LIGHT") != std::string::npos;
        const char* const define = "#define PLAIN_LIGHT 1";
        unsigned int copy = 0;
        if (plain) {
            bool copyBuilt = true;
            copy = Build(WithDefine(vertexText, define), WithDefine(fragmentText, define), row, copyBuilt);
            // A copy that failed is reported; plain lights then get the program itself.
            if (!copyBuilt && copy) glDeleteProgram(copy);
            if (!copyBuilt) copy = 0;
            result = result && copyBuilt;
        }
        plainPrograms.push_back(copy);
    }
    return result;
}

unsigned int OglShaderManager::Build(const std::string& vertexText, const std::string& fragmentText,
                                     const char* const paths[2], bool& result) {
    const unsigned int vertex = Compile(GL_VERTEX_SHADER, vertexText, paths[0], result);
    const unsigned int fragment = Compile(GL_FRAGMENT_SHADER, fragmentText, paths[1], result);
    const unsigned int program = glCreateProgram();
    if (!program) {
        result = false;
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return 0;
    }
    if (vertex) glAttachShader(program, vertex);
    if (fragment) glAttachShader(program, fragment);
    // Flagged for deletion; they live on as long as the program.
    if (vertex) glDeleteShader(vertex);
    if (fragment) glDeleteShader(fragment);
    glLinkProgram(program);
    if (LinkerError(program)) {
        result = false;
    } else {
        // Every sampler starts on unit 0; left there, a 2-D and a shadow
        // sampler would share it, which makes every draw with the
        // program fail before a material sets "DiffuseMap".
        glUseProgram(program);
        SetSampler(program, "ShadowMap", 0);
        SetSampler(program, "EnvMap", 1);
        SetSampler(program, "DiffuseMap", 2);
        glUseProgram(0);
    }
    return program;
}

unsigned int OglShaderManager::GetProgram(OglShaderManager::ProgramType type, LightKind light) const {
    const auto index = static_cast<std::size_t>(type);
    if (light == PlainLight && index < plainPrograms.size() && plainPrograms[index]) return plainPrograms[index];
    return index < programs.size() ? programs[index] : 0;
}

bool OglShaderManager::LoadFromFile(const char* path, std::string& text) {
    text.clear();
    std::FILE* file = std::fopen(path, "rt");
    if (file) {
        // Read in chunks: a size taken by seeking counts bytes the text mode
        // may not deliver, and text must end where the bytes read end.
        char buffer[4096];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
        std::fclose(file);
    }
    if (text.empty() && logger.IsEnabled(Logger::Error))
        Logger::Stream(logger, Logger::Error).GetStream() << "Cannot read shader file: " << path << "!";
    return !text.empty();
}

unsigned int OglShaderManager::Compile(unsigned int type, const std::string& text, const char* path,
                                       bool& result) {
    const unsigned int shader = glCreateShader(type);
    if (!shader) {
        result = false;
        return 0;
    }
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    if (CompilerError(shader, path)) result = false;
    return shader;
}

bool OglShaderManager::CompilerError(unsigned int shader, const char* path) {
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return false;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string info(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, &info[0]);
    // The log's terminating zero is not part of the message.
    while (!info.empty() && (info.back() == '\0' || info.back() == '\n')) info.pop_back();
    if (logger.IsEnabled(Logger::Error))
        Logger::Stream(logger, Logger::Error).GetStream()
            << "Error compiling shader: " << path << "(Info: " << info << ")!";
    return true;
}

bool OglShaderManager::LinkerError(unsigned int program) {
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE) return false;
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string info(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) glGetProgramInfoLog(program, length, nullptr, &info[0]);
    while (!info.empty() && (info.back() == '\0' || info.back() == '\n')) info.pop_back();
    if (logger.IsEnabled(Logger::Error))
        Logger::Stream(logger, Logger::Error).GetStream()
            << "Error linking program: " << program << "(Info: " << info << ")!";
    return true;
}
