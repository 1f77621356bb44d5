#include <gtest/gtest.h>

#include <GL/glew.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>

#include <lumora/OglShaderManager.h>
#include <nodara/Light.h>

#include "LumoraTestSupport.h"

namespace {

const char* const ShaderFiles[] = {"Lighting.vert",      "Lighting.frag",      "ShadowMapping.vert",
                                   "ShadowMapping.frag", "EnvironmentMapping.vert", "EnvironmentMapping.frag"};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// Each test runs in <temp>/bin with copies of the repository's shader files
// in <temp>/data/shaders, where the manager's "../data/shaders/..." paths lead.
class OglShaderManagerTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        std::filesystem::create_directories(dir.File("bin"));
        ResetShaderFiles();
        bin = std::make_unique<WorkingDirectory>(dir.File("bin"));
    }

    void TearDown() override { bin.reset(); }

    // Fresh copies of the repository's six files.
    void ResetShaderFiles() {
        for (const char* name : ShaderFiles)
            dir.Write(std::string("data/shaders/") + name, ReadFile(std::string(SHADER_DIR) + "/" + name));
    }

    std::string Shader(const char* name) const { return dir.File(std::string("data/shaders/") + name); }

    // Builds the programs, returning the result and the log lines.
    bool Create(OglShaderManager& manager, std::string& out) {
        testing::internal::CaptureStdout();
        const bool result = manager.CreateShaders();
        out = testing::internal::GetCapturedStdout();
        return result;
    }

    TempDir dir;
    std::unique_ptr<WorkingDirectory> bin;
};

TEST_F(OglShaderManagerTest, BuildsThreeWorkingProgramsFromTheDataFiles) {
    std::string out;
    GLuint programs[4];
    {
        OglShaderManager manager;
        ASSERT_TRUE(Create(manager, out)) << out;
        EXPECT_EQ(out, "");
        EXPECT_EQ(manager.GetProgram(OglShaderManager::FixedFunction), 0u);
        for (int type = 0; type < 4; ++type) {
            programs[type] = manager.GetProgram(static_cast<OglShaderManager::ProgramType>(type));
            if (type > 0) {
                EXPECT_TRUE(glIsProgram(programs[type])) << type;
            }
        }
        EXPECT_NE(programs[1], programs[2]);
        EXPECT_NE(programs[2], programs[3]);
        // Samplers start on their own units, so no two types share one.
        const struct {
            int type;
            const char* sampler;
            int unit;
        } samplers[] = {{1, "DiffuseMap", 2}, {2, "ShadowMap", 0}, {2, "DiffuseMap", 2}, {3, "EnvMap", 1}};
        for (const auto& s : samplers) {
            GLint unit = -1;
            glGetUniformiv(programs[s.type], glGetUniformLocation(programs[s.type], s.sampler), &unit);
            EXPECT_EQ(unit, s.unit) << s.sampler;
        }
        // A type past the list has no program.
        EXPECT_EQ(manager.GetProgram(static_cast<OglShaderManager::ProgramType>(9)), 0u);
    }
    // The destructor deletes them.
    for (int type = 1; type < 4; ++type) EXPECT_FALSE(glIsProgram(programs[type])) << type;
}

TEST_F(OglShaderManagerTest, TheLightingProgramsHavePlainCopiesForLightsWithoutAttenuationOrCone) {
    Light light;
    EXPECT_EQ(OglShaderManager::KindOf(light), OglShaderManager::PlainLight);
    light.SetPosition({0.0f, 0.6f, 0.8f, 0.0f});
    EXPECT_EQ(OglShaderManager::KindOf(light), OglShaderManager::PlainLight) << "directional";
    const std::function<void(Light&)> notPlain[] = {
        [](Light& l) { l.SetSpotCutoff(90); },           [](Light& l) { l.SetConstantAttenuation(0.5f); },
        [](Light& l) { l.SetLinearAttenuation(0.1f); },  [](Light& l) { l.SetQuadraticAttenuation(0.1f); },
        [](Light& l) { l.SetPosition({0, 0, 1, -1}); },
    };
    for (const auto& change : notPlain) {
        Light other;
        change(other);
        EXPECT_EQ(OglShaderManager::KindOf(other), OglShaderManager::AnyLight);
    }

    OglShaderManager unbuilt;
    EXPECT_EQ(unbuilt.GetProgram(OglShaderManager::Lighting, OglShaderManager::PlainLight), 0u);
    GLuint copies[2] = {};
    {
        OglShaderManager manager;
        std::string out;
        ASSERT_TRUE(Create(manager, out)) << out;
        EXPECT_EQ(out, "");
        for (auto type : {OglShaderManager::Lighting, OglShaderManager::ShadowMapping}) {
            const GLuint copy = manager.GetProgram(type, OglShaderManager::PlainLight);
            EXPECT_TRUE(glIsProgram(copy)) << type;
            EXPECT_NE(copy, manager.GetProgram(type)) << type;
            GLint unit = -1;
            glGetUniformiv(copy, glGetUniformLocation(copy, "DiffuseMap"), &unit);
            EXPECT_EQ(unit, 2) << type;
            copies[type - 1] = copy;
        }
        // Reflections do not light: one program for every light.
        EXPECT_EQ(manager.GetProgram(OglShaderManager::EnvironmentMapping, OglShaderManager::PlainLight),
                  manager.GetProgram(OglShaderManager::EnvironmentMapping));
    }
    for (GLuint copy : copies) EXPECT_FALSE(glIsProgram(copy));

    // A fault only the copy compiles is reported, and plain lights get the program itself.
    std::string text = ReadFile(Shader("Lighting.frag"));
    const std::string plainReturn = "    return 1.0;\n#else";
    text.replace(text.find(plainReturn), plainReturn.size(), "    return 1.0\n#else");
    dir.Write("data/shaders/Lighting.frag", text);
    OglShaderManager manager;
    std::string out;
    EXPECT_FALSE(Create(manager, out));
    EXPECT_NE(out.find("Error compiling shader: ../data/shaders/Lighting.frag"), std::string::npos) << out;
    GLint linked = GL_FALSE;
    glGetProgramiv(manager.GetProgram(OglShaderManager::Lighting), GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(manager.GetProgram(OglShaderManager::Lighting, OglShaderManager::PlainLight),
              manager.GetProgram(OglShaderManager::Lighting));
}

TEST_F(OglShaderManagerTest, SyntaxErrorIsLoggedAndTheProgramKeepsItsSlot) {
    dir.Write("data/shaders/ShadowMapping.frag", "#version 110\nvoid main() { gl_FragColor = vec4(1.0) }\n");
    OglShaderManager manager;
    std::string out;
    EXPECT_FALSE(Create(manager, out));
    const auto compile =
        out.find("[Error] OglShaderManager - Error compiling shader: ../data/shaders/ShadowMapping.frag(Info: ");
    ASSERT_NE(compile, std::string::npos) << out;
    const std::string link = "[Error] OglShaderManager - Error linking program: " +
                             std::to_string(manager.GetProgram(OglShaderManager::ShadowMapping)) + "(Info: ";
    EXPECT_NE(out.find(link, compile), std::string::npos) << out;
    EXPECT_NE(manager.GetProgram(OglShaderManager::ShadowMapping), 0u);
    // The programs after it are built and linked all the same.
    GLint linked = GL_FALSE;
    glGetProgramiv(manager.GetProgram(OglShaderManager::EnvironmentMapping), GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
}

TEST_F(OglShaderManagerTest, MissingOrEmptyFileIsReportedAndLeavesSlotZeroWithoutShifting) {
    const struct {
        const char* file;
        OglShaderManager::ProgramType type;
        bool remove;  // else emptied
    } cases[] = {
        // Missing vertex shader of the first row: the later types keep their places.
        {"Lighting.vert", OglShaderManager::Lighting, true},
        // Empty fragment shader of a later row: the earlier row's text is not reused.
        {"EnvironmentMapping.frag", OglShaderManager::EnvironmentMapping, false},
    };
    for (const auto& c : cases) {
        ResetShaderFiles();
        if (c.remove)
            std::filesystem::remove(Shader(c.file));
        else
            dir.Write(std::string("data/shaders/") + c.file, "");
        OglShaderManager manager;
        std::string out;
        EXPECT_FALSE(Create(manager, out)) << c.file;
        EXPECT_NE(out.find(std::string("[Error] OglShaderManager - Cannot read shader file: ../data/shaders/") +
                           c.file + "!"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("Error compiling"), std::string::npos) << out;
        for (int type = 1; type < 4; ++type) {
            const unsigned int program = manager.GetProgram(static_cast<OglShaderManager::ProgramType>(type));
            if (type == c.type) {
                EXPECT_EQ(program, 0u) << c.file;
            } else {
                EXPECT_TRUE(glIsProgram(program)) << c.file << " type " << type;
            }
        }
    }
}

TEST_F(OglShaderManagerTest, WindowsLineEndsAreReadCompletely) {
    for (const char* name : ShaderFiles) {
        std::string text = ReadFile(Shader(name));
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        dir.Write(std::string("data/shaders/") + name, crlf);
    }
    OglShaderManager manager;
    std::string out;
    EXPECT_TRUE(Create(manager, out)) << out;
}
