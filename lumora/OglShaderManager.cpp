#include <lumora/OglShaderManager.h>

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

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

}  // namespace

OglShaderManager::~OglShaderManager() { DeletePrograms(); }

void OglShaderManager::DeletePrograms() {
    // Nothing built, nothing to give back (and maybe no GL to call).
    if (std::all_of(programs.begin(), programs.end(), [](unsigned int p) { return p == 0; })) {
        programs.clear();
        return;
    }
    glUseProgram(0);
    for (std::size_t i = 1; i < programs.size(); ++i)
        if (programs[i]) glDeleteProgram(programs[i]);
    programs.clear();
}

bool OglShaderManager::CreateShaders() {
    // A second call builds afresh: appended behind the first set, the new
    // programs would never be handed out.
    DeletePrograms();
    programs.push_back(0);
    // Without GLEW brought up on an OpenGL 2.0 context the entry points below are null.
    if (!GLEW_VERSION_2_0) {
        if (logger.IsEnabled(Logger::Error))
            Logger::Stream(logger, Logger::Error).GetStream() << "OpenGL 2.0 is not available: no programs built!";
        programs.insert(programs.end(), 3, 0u);
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
            continue;
        }
        const unsigned int vertex = Compile(GL_VERTEX_SHADER, vertexText, row[0], result);
        const unsigned int fragment = Compile(GL_FRAGMENT_SHADER, fragmentText, row[1], result);
        const unsigned int program = glCreateProgram();
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
        programs.push_back(program);
    }
    return result;
}

unsigned int OglShaderManager::GetProgram(OglShaderManager::ProgramType type) const {
    const auto index = static_cast<std::size_t>(type);
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
