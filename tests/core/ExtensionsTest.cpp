#include "engine/core/Extensions.h"
#include "engine/core/Init.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> probedNames = {
    "GL_ARB_fragment_shader",     "GL_ARB_fragment_program",    "GL_ARB_shading_language_100",
    "GL_ARB_vertex_shader",       "GL_ARB_shader_objects",      "GL_ARB_multitexture",
    "GL_EXT_texture_env_combine", "GL_ARB_texture_compression", "GL_ARB_texture_cube_map",
    "GL_ARB_texture_env_add",     "GL_ARB_vertex_program",      "GL_ARB_vertex_buffer_object",
    "GL_ARB_point_sprite",        "GL_ARB_point_parameters",
};

std::string extensionStringWithout(const std::string& missing) {
    std::string result;
    for (const std::string& name : probedNames)
        if (name != missing)
            result += name + " ";
    return result;
}

struct EntryPoints {
    std::vector<const void*> shaders, vertexBuffers, pointParameters, multitexture;
};

EntryPoints entryPoints() {
    using namespace tarnix;
    return {{reinterpret_cast<const void*>(glCreateProgramObjectARB), reinterpret_cast<const void*>(glDeleteObjectARB),
             reinterpret_cast<const void*>(glCreateShaderObjectARB), reinterpret_cast<const void*>(glShaderSourceARB),
             reinterpret_cast<const void*>(glCompileShaderARB),
             reinterpret_cast<const void*>(glGetObjectParameterivARB),
             reinterpret_cast<const void*>(glAttachObjectARB), reinterpret_cast<const void*>(glGetInfoLogARB),
             reinterpret_cast<const void*>(glLinkProgramARB), reinterpret_cast<const void*>(glUseProgramObjectARB),
             reinterpret_cast<const void*>(glGetUniformLocationARB), reinterpret_cast<const void*>(glUniform1fARB),
             reinterpret_cast<const void*>(glUniform1iARB)},
            {reinterpret_cast<const void*>(glGenBuffersARB), reinterpret_cast<const void*>(glBindBufferARB),
             reinterpret_cast<const void*>(glBufferDataARB), reinterpret_cast<const void*>(glDeleteBuffersARB)},
            {reinterpret_cast<const void*>(glPointParameterfARB), reinterpret_cast<const void*>(glPointParameterfvARB)},
            {reinterpret_cast<const void*>(glActiveTextureARB_ptr),
             reinterpret_cast<const void*>(glMultiTexCoord2fARB_ptr)}};
}

void clearEntryPoints() {
    using namespace tarnix;
    glCreateProgramObjectARB = nullptr;
    glDeleteObjectARB = nullptr;
    glCreateShaderObjectARB = nullptr;
    glShaderSourceARB = nullptr;
    glCompileShaderARB = nullptr;
    glGetObjectParameterivARB = nullptr;
    glAttachObjectARB = nullptr;
    glGetInfoLogARB = nullptr;
    glLinkProgramARB = nullptr;
    glUseProgramObjectARB = nullptr;
    glGetUniformLocationARB = nullptr;
    glUniform1fARB = nullptr;
    glUniform1iARB = nullptr;
    glGenBuffersARB = nullptr;
    glBindBufferARB = nullptr;
    glBufferDataARB = nullptr;
    glDeleteBuffersARB = nullptr;
    glPointParameterfARB = nullptr;
    glPointParameterfvARB = nullptr;
    glActiveTextureARB_ptr = nullptr;
    glMultiTexCoord2fARB_ptr = nullptr;
}

void expectAll(const std::vector<const void*>& group, bool fetched, const char* what) {
    for (std::size_t i = 0; i < group.size(); ++i)
        EXPECT_EQ(group[i] != nullptr, fetched) << what << " entry point " << i;
}

class ExtensionsTest : public testing::Test {
protected:
    void SetUp() override { clearEntryPoints(); }
    // The bring-up's own probe filled the pointers; put them back for later users.
    void TearDown() override {
        clearEntryPoints();
        tarnix::Init().extensions();
    }
    tarnix::Init probe;  // fresh flags, all true
};

}  // namespace

TEST_F(ExtensionsTest, TheRealDriverOffersEverythingAndAll21EntryPointsAreFetched) {
    EXPECT_TRUE(probe.extensions());
    EXPECT_TRUE(probe.useShaders());
    EXPECT_TRUE(probe.useVertexBufferObjects());
    EXPECT_TRUE(probe.usePointSprites());
    const EntryPoints fetched = entryPoints();
    expectAll(fetched.shaders, true, "shader");
    expectAll(fetched.vertexBuffers, true, "buffer");
    expectAll(fetched.pointParameters, true, "point parameter");
    expectAll(fetched.multitexture, true, "multitexture");
}

TEST_F(ExtensionsTest, MissingFragmentProgramDisablesOnlyShaders) {
    EXPECT_FALSE(probe.extensions(extensionStringWithout("GL_ARB_fragment_program").c_str()));
    EXPECT_FALSE(probe.useShaders());
    EXPECT_TRUE(probe.useVertexBufferObjects());
    EXPECT_TRUE(probe.usePointSprites());
    const EntryPoints fetched = entryPoints();
    expectAll(fetched.shaders, false, "shader");
    expectAll(fetched.vertexBuffers, true, "buffer");
    expectAll(fetched.pointParameters, true, "point parameter");
    expectAll(fetched.multitexture, true, "multitexture");
}

TEST_F(ExtensionsTest, EachGroupIsClearedByItsOwnExtensions) {
    const std::pair<const char*, int> cases[] = {
        {"GL_ARB_vertex_buffer_object", 1}, {"GL_ARB_point_sprite", 2}, {"GL_ARB_point_parameters", 2},
        {"GL_ARB_shader_objects", 0},       {"GL_ARB_texture_cube_map", -1}};
    for (const auto& [missing, group] : cases) {
        clearEntryPoints();
        tarnix::Init fresh;
        EXPECT_EQ(fresh.extensions(extensionStringWithout(missing).c_str()), group < 0) << missing;
        EXPECT_EQ(fresh.useShaders(), group != 0) << missing;
        EXPECT_EQ(fresh.useVertexBufferObjects(), group != 1) << missing;
        EXPECT_EQ(fresh.usePointSprites(), group != 2) << missing;
        const EntryPoints fetched = entryPoints();
        expectAll(fetched.vertexBuffers, group != 1, missing);
        expectAll(fetched.pointParameters, group != 2, missing);
    }
}

TEST_F(ExtensionsTest, MissingMultitextureChangesNothingAndItsPointersAreStillFetched) {
    EXPECT_TRUE(probe.extensions(extensionStringWithout("GL_ARB_multitexture").c_str()));
    expectAll(entryPoints().multitexture, true, "multitexture");
    expectAll(entryPoints().shaders, true, "shader");
}

TEST_F(ExtensionsTest, ANameThatOnlyBeginsALongerExtensionCountsAsPresent) {
    std::string extensions = extensionStringWithout("GL_ARB_point_sprite") + "GL_ARB_point_sprite_extended";
    EXPECT_TRUE(probe.extensions(extensions.c_str()));
    EXPECT_TRUE(probe.usePointSprites());
}

TEST_F(ExtensionsTest, FlagsOnceClearedStayCleared) {
    EXPECT_FALSE(probe.extensions(""));
    EXPECT_FALSE(probe.extensions(extensionStringWithout("").c_str()));
    EXPECT_FALSE(probe.useShaders());
    EXPECT_FALSE(probe.useVertexBufferObjects());
    EXPECT_FALSE(probe.usePointSprites());
    expectAll(entryPoints().multitexture, true, "multitexture");
}

TEST_F(ExtensionsTest, NoExtensionStringClearsEverythingWithoutCrashing) {
    EXPECT_FALSE(probe.extensions(nullptr));
    EXPECT_FALSE(probe.useShaders());
    const EntryPoints fetched = entryPoints();
    expectAll(fetched.shaders, false, "shader");
    expectAll(fetched.vertexBuffers, false, "buffer");
    expectAll(fetched.pointParameters, false, "point parameter");
}
