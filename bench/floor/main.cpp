// tarnvale-floor: the demo's frame drawn with bare OpenGL 4.5 and SDL2, with
// no layer in between. It draws exactly the demo's work -- sixteen
// non-indexed 12672-vertex ball meshes from the same generator, the same
// images decoded with libpng with a full mip chain, an equivalent ball shader
// pair and text stage, depth test, alpha blending where it can change a pixel
// (the overlay), back-face culling, sixteen
// ball draws and the overlay's two labels a frame, swap interval 0 -- so its
// frame time, start-up time and memory are the least this work can cost on a
// given driver. bench/run compares tarnvale-capture against it.
//
//   tarnvale-floor [--frames N] [--window] [--no-mallopt] [--indexed]
//
// --no-mallopt leaves glibc's allocator thresholds as they are (to show what
// they cost); --indexed draws each ball from an index list over its distinct
// vertices instead of the plain list (to show what sharing vertices saves).
//
// Runs from the repository root (reads res/*.png). Prints one JSON line on
// stdout in the shape tarnvale-capture uses for the same figures.
#include "scene/SuperellipsoidMesh.h"
#include "math/AxisAngle.h"
#include "math/Matrix4.h"
#include "math/Vector3.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <png.h>

#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

typedef std::chrono::steady_clock Clock;

constexpr int screenWidth = 1024;
constexpr int screenHeight = 768;
constexpr int ballCount = 16;

const char* const ballImages[ballCount] = {
    "res/1-ball.png",  "res/2-ball.png",  "res/3-ball.png",  "res/4-ball.png",  "res/5-ball.png",  "res/6-ball.png",
    "res/7-ball.png",  "res/8-ball.png",  "res/9-ball.png",  "res/10-ball.png", "res/11-ball.png", "res/12-ball.png",
    "res/13-ball.png", "res/14-ball.png", "res/15-ball.png", "res/cueball.png",
};
const float ballPositions[ballCount][2] = {
    {-400, 355}, {-200, 350}, {0, 350},    {200, 350},   {400, 350}, {-300, 175}, {-100, 175}, {100, 175},
    {300, 175},  {-200, 0},   {0, 0},      {200, 0},     {-100, -175}, {100, -175}, {0, -350},  {0, -600},
};
const char* const fontSheet = "res/smallfonts128x128.png";
const char* const descriptionText = "REF, Software Vertex Processing";

// The ball shaders: what superellipsoid.vsh and superellipsoid.psh do. The
// matrices arrive row-major as the scene builds them (row vectors), which GL
// reads as their transposes, so matrix * column vector is the same product.
// The lighting is worked out per vertex and handed to the fragment stage
// with the texture coordinate in one vec4.
const char* const ballVertexSource = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 texcoord;
layout(location = 0) uniform mat4 worldView;
layout(location = 1) uniform mat4 worldViewProjection;
layout(location = 2) uniform vec3 lightVector;
layout(location = 0) out vec4 shading;
void main()
{
    vec4 p = vec4(position, 1.0);
    vec3 n = normalize((worldView * vec4(normal, 0.0)).xyz);
    vec3 l = normalize(lightVector);
    vec3 e = normalize(-(worldView * p).xyz);
    vec3 h = normalize(l + e);
    float diffuse = clamp(dot(n, l), 0.0, 1.0);
    float specular = pow(clamp(dot(n, h), 0.0, 1.0), 40.0);
    gl_Position = worldViewProjection * p;
    shading = vec4(texcoord, 0.3 + 0.8 * diffuse, 0.5 * specular);
}
)";

const char* const ballFragmentSource = R"(#version 450 core
layout(binding = 0) uniform sampler2D ballImage;
layout(location = 0) in vec4 shading;
layout(location = 0) out vec4 colour;
void main()
{
    vec3 base = texture(ballImage, shading.xy).rgb;
    colour = vec4(base * shading.z + shading.w, 1.0);
}
)";

// textfont.vsh, and the texture stage the labels set: colour from the
// sheet, alpha the sheet's times the diffuse alpha.
const char* const textVertexSource = R"(#version 450 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texcoord;
layout(location = 0) uniform mat4 projection;
layout(location = 0) out vec2 outTexcoord;
layout(location = 1) out vec4 outDiffuse;
void main()
{
    gl_Position = projection * vec4(position, 1.0);
    outTexcoord = texcoord;
    outDiffuse = vec4(1.0);
}
)";

const char* const textFragmentSource = R"(#version 450 core
layout(binding = 0) uniform sampler2D sheet;
layout(location = 0) in vec2 texcoord;
layout(location = 1) in vec4 diffuse;
layout(location = 0) out vec4 colour;
void main()
{
    vec4 t = texture(sheet, texcoord);
    colour = vec4(t.rgb, t.a * diffuse.a);
}
)";

struct Options {
    uint64_t frames = 300;
    bool window = false;
    bool mallopt = true;
    bool indexed = false;
};

// The list as an index list over its distinct vertices (byte-equal ones
// shared), in the same order.
void shareVertices(const std::vector<BallVertex>& list, std::vector<BallVertex>& vertices,
                   std::vector<uint16_t>& indices)
{
    vertices.clear();
    indices.clear();
    std::unordered_map<std::string, uint16_t> seen;
    for (const BallVertex& v : list) {
        const std::string key(reinterpret_cast<const char*>(&v), sizeof v);
        auto found = seen.find(key);
        if (found == seen.end()) {
            found = seen.emplace(key, static_cast<uint16_t>(vertices.size())).first;
            vertices.push_back(v);
        }
        indices.push_back(found->second);
    }
}

void fail(const std::string& message)
{
    std::fprintf(stderr, "tarnvale-floor: %s\n", message.c_str());
    std::exit(1);
}

// ----- Images ------------------------------------------------------------------

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<unsigned char> rgba;
};

void pngError(png_structp png, png_const_charp message)
{
    std::fprintf(stderr, "tarnvale-floor: png: %s\n", message);
    png_longjmp(png, 1);
}

// Any PNG to 8-bit RGBA.
bool decodePng(const char* path, Image& image)
{
    FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    image.width = png_get_image_width(png, info);
    image.height = png_get_image_height(png, info);
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384 ||
        png_get_rowbytes(png, info) != size_t{image.width} * 4)
        png_longjmp(png, 1);
    image.rgba.resize(size_t{image.width} * image.height * 4);
    std::vector<png_bytep> rows(image.height);
    for (uint32_t y = 0; y < image.height; ++y) rows[y] = image.rgba.data() + size_t{y} * image.width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

// A texture with a full mip chain, each level the 2 x 2 box average of the
// one above (a dimension of 1 stays 1).
GLuint createTexture(const char* path, Clock::duration& decoding)
{
    Image image;
    const Clock::time_point start = Clock::now();
    if (!decodePng(path, image)) fail(std::string("cannot read ") + path);
    decoding += Clock::now() - start;
    uint32_t levels = 1;
    while ((image.width >> levels) > 0 || (image.height >> levels) > 0) ++levels;
    GLuint texture = 0;
    glCreateTextures(GL_TEXTURE_2D, 1, &texture);
    glTextureStorage2D(texture, static_cast<GLsizei>(levels), GL_RGBA8, static_cast<GLsizei>(image.width),
                       static_cast<GLsizei>(image.height));
    uint32_t width = image.width;
    uint32_t height = image.height;
    std::vector<unsigned char> level = std::move(image.rgba);
    std::vector<unsigned char> next;
    for (uint32_t l = 0; l < levels; ++l) {
        glTextureSubImage2D(texture, static_cast<GLint>(l), 0, 0, static_cast<GLsizei>(width),
                            static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE, level.data());
        if (l + 1 == levels) break;
        const uint32_t w = std::max(width / 2, 1u);
        const uint32_t h = std::max(height / 2, 1u);
        next.resize(size_t{w} * h * 4);
        for (uint32_t y = 0; y < h; ++y) {
            const unsigned char* row0 = level.data() + size_t{std::min(2 * y, height - 1)} * width * 4;
            const unsigned char* row1 = level.data() + size_t{std::min(2 * y + 1, height - 1)} * width * 4;
            unsigned char* out = next.data() + size_t{y} * w * 4;
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t x0 = std::min(2 * x, width - 1) * 4;
                const uint32_t x1 = std::min(2 * x + 1, width - 1) * 4;
                for (uint32_t c = 0; c < 4; ++c)
                    out[x * 4 + c] =
                        static_cast<unsigned char>((row0[x0 + c] + row0[x1 + c] + row1[x0 + c] + row1[x1 + c] + 2) / 4);
            }
        }
        level.swap(next);
        width = w;
        height = h;
    }
    return texture;
}

// ----- Shaders -------------------------------------------------------------------

GLuint compileStage(GLenum stage, const char* source)
{
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fail(std::string("shader: ") + log);
    }
    return shader;
}

GLuint linkProgram(const char* vertexSource, const char* fragmentSource)
{
    const GLuint vertex = compileStage(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragment = compileStage(GL_FRAGMENT_SHADER, fragmentSource);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        fail(std::string("link: ") + log);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

// ----- Labels ----------------------------------------------------------------------

struct TextVertex {
    float x, y, z, u, v;
};

// Six vertices a character, the 7 x 13 cells of the 128 x 128 sheet, 18 to a
// row, the last texel row and column of a cell left out, half a pixel to the
// left and down: the overlay's own quads.
void buildLabel(const char* text, float x, float y, std::vector<TextVertex>& out)
{
    const size_t length = std::strlen(text);
    out.resize(length * 6);
    const float texel = 1.0f / 128.0f;
    for (size_t i = 0; i < length; ++i) {
        const int code = static_cast<signed char>(text[i]);
        const uint32_t g = (code >= 32 && code <= 122) ? static_cast<uint32_t>(code - 32) : 0u;
        const uint32_t left = 7 * (g % 18);
        const uint32_t top = 13 * (g / 18);
        const float u0 = left * texel, v0 = top * texel, u1 = (left + 6) * texel, v1 = (top + 12) * texel;
        const float x0 = x - 0.5f + static_cast<float>(i) * 7.0f, x1 = x0 + 6.0f;
        const float y0 = y - 0.5f, y1 = y + 11.5f;
        TextVertex* q = &out[i * 6];
        q[0] = {x0, y1, 0, u0, v0};
        q[1] = {x1, y1, 0, u1, v0};
        q[2] = {x0, y0, 0, u0, v1};
        q[3] = {x1, y0, 0, u1, v1};
        q[4] = {x0, y0, 0, u0, v1};
        q[5] = {x1, y1, 0, u1, v0};
    }
}

struct Label {
    GLuint buffer = 0;
    GLsizeiptr capacity = 0;
    GLsizei vertices = 0;
    std::vector<TextVertex> scratch;
};

void setLabel(Label& label, const char* text, float x, float y)
{
    buildLabel(text, x, y, label.scratch);
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(label.scratch.size() * sizeof(TextVertex));
    label.vertices = static_cast<GLsizei>(label.scratch.size());
    if (bytes == 0) return;
    if (bytes > label.capacity) {
        if (label.buffer) glDeleteBuffers(1, &label.buffer);
        glCreateBuffers(1, &label.buffer);
        glNamedBufferStorage(label.buffer, bytes, nullptr, GL_DYNAMIC_STORAGE_BIT);
        label.capacity = bytes;
    }
    glNamedBufferSubData(label.buffer, 0, bytes, label.scratch.data());
}

// ----- Options and figures ------------------------------------------------------------

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            char* end = nullptr;
            const unsigned long long n = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0' || n < 1 || n > 10000000) return false;
            options.frames = n;
        } else if (arg == "--window") {
            options.window = true;
        } else if (arg == "--no-mallopt") {
            options.mallopt = false;
        } else if (arg == "--indexed") {
            options.indexed = true;
        } else {
            return false;
        }
    }
    return true;
}

double milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

long minorFaults()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

}  // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: tarnvale-floor [--frames N] [--window] [--no-mallopt] [--indexed]\n");
        return 2;
    }
    if (options.mallopt) {
        // llvmpipe frees and re-allocates large buffers on every draw; with
        // glibc's default thresholds each one goes back to the kernel and is
        // faulted in again, page by page. Keep them in the heap: the same
        // settings as the Direct3D 9 layer's.
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
    }
    if (!options.window) setenv("SDL_VIDEODRIVER", "offscreen", 1);

    // ----- Window and context.
    if (SDL_Init(SDL_INIT_VIDEO) != 0) fail(std::string("SDL: ") + SDL_GetError());
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("Tarnvale floor", 64, 64, screenWidth, screenHeight, SDL_WINDOW_OPENGL);
    if (!window) fail(std::string("window: ") + SDL_GetError());
    const Clock::time_point windowCreated = Clock::now();
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) fail(std::string("context: ") + SDL_GetError());
    if (epoxy_gl_version() < 45) fail("OpenGL 4.5 is needed");
    SDL_GL_SetSwapInterval(0);
    const Clock::time_point contextCreated = Clock::now();

    // ----- Resources.
    const GLuint textProgram = linkProgram(textVertexSource, textFragmentSource);
    const GLuint ballProgram = linkProgram(ballVertexSource, ballFragmentSource);
    const Clock::time_point shadersBuilt = Clock::now();

    Clock::duration decoding{};
    const GLuint sheet = createTexture(fontSheet, decoding);
    GLuint ballTextures[ballCount];
    for (int i = 0; i < ballCount; ++i) ballTextures[i] = createTexture(ballImages[i], decoding);
    const Clock::time_point imagesLoaded = Clock::now();

    GLuint ballBuffers[ballCount];
    GLuint indexBuffers[ballCount] = {};
    GLsizei ballVertices = 0;
    std::vector<BallVertex> mesh;
    std::vector<BallVertex> shared;
    std::vector<uint16_t> indices;
    for (int i = 0; i < ballCount; ++i) {
        if (!generateSuperellipsoid(64, 100.0f, 1.0f, 1.0f, mesh)) fail("mesh");
        ballVertices = static_cast<GLsizei>(mesh.size());
        if (options.indexed) {
            shareVertices(mesh, shared, indices);
            mesh.swap(shared);
            glCreateBuffers(1, &indexBuffers[i]);
            glNamedBufferStorage(indexBuffers[i], static_cast<GLsizeiptr>(indices.size() * 2), indices.data(), 0);
        }
        glCreateBuffers(1, &ballBuffers[i]);
        glNamedBufferStorage(ballBuffers[i], static_cast<GLsizeiptr>(mesh.size() * sizeof(BallVertex)), mesh.data(), 0);
    }
    std::vector<BallVertex>().swap(mesh);
    const Clock::time_point meshesBuilt = Clock::now();

    GLuint ballArray = 0;
    glCreateVertexArrays(1, &ballArray);
    for (GLuint a = 0; a < 3; ++a) {
        glEnableVertexArrayAttrib(ballArray, a);
        glVertexArrayAttribBinding(ballArray, a, 0);
    }
    glVertexArrayAttribFormat(ballArray, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribFormat(ballArray, 1, 3, GL_FLOAT, GL_FALSE, 12);
    glVertexArrayAttribFormat(ballArray, 2, 2, GL_FLOAT, GL_FALSE, 24);

    GLuint textArray = 0;
    glCreateVertexArrays(1, &textArray);
    for (GLuint a = 0; a < 2; ++a) {
        glEnableVertexArrayAttrib(textArray, a);
        glVertexArrayAttribBinding(textArray, a, 0);
    }
    glVertexArrayAttribFormat(textArray, 0, 3, GL_FLOAT, GL_FALSE, 0);
    glVertexArrayAttribFormat(textArray, 1, 2, GL_FLOAT, GL_FALSE, 12);

    // The sampler the rack sets (linear, mirrored in u, no mip filter), which
    // the overlay inherits from the previous frame; the first frame's overlay
    // has the default one (point sampling, no mip filter, repeat) instead.
    GLuint sampler = 0;
    glCreateSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
    GLuint firstSampler = 0;
    glCreateSamplers(1, &firstSampler);
    glSamplerParameteri(firstSampler, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(firstSampler, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glBindSampler(0, firstSampler);

    // Random orientations as the rack makes them, from a fixed seed.
    Matrix4 world[ballCount];
    std::srand(1);
    for (int i = 0; i < ballCount; ++i) {
        const int r1 = std::rand() % 100, r2 = std::rand() % 100, r3 = std::rand() % 100;
        world[i].setRotation(AxisAngle(Vector3(0.1f * r3, 0.1f * r2, 0.1f * r1), 45.0f));
        world[i].translate(Vector3(ballPositions[i][0], ballPositions[i][1], 0.0f));
    }
    Matrix4 view;
    view.lookAt(Vector3(0, 0, -1500), Vector3(0, 0, 0), Vector3(0, 1, 0));
    Matrix4 projection;
    projection.perspectiveFov(45.0f, 1.3333334f, 500.0f, 2500.0f);
    Matrix4 overlayProjection;
    overlayProjection.orthographic(static_cast<float>(screenWidth), static_cast<float>(screenHeight), 0.0f, 100.0f);

    Label fpsLabel;
    Label descriptionLabel;
    setLabel(fpsLabel, "", screenWidth * 0.5f - 80.0f, screenHeight * 0.5f - 20.0f);
    setLabel(descriptionLabel, descriptionText, 10.0f - screenWidth * 0.5f, 10.0f - screenHeight * 0.5f);

    // Direct3D's conventions: depth 0..1 in clip space, clockwise front
    // faces, depth test less-or-equal with writes, blending as the labels
    // leave it. The balls are drawn without it: their shader writes alpha 1,
    // so blending could change none of their pixels.
    glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glViewport(0, 0, screenWidth, screenHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glProgramUniformMatrix4fv(textProgram, 0, 1, GL_FALSE, overlayProjection.data());
    const float lightVector[3] = {1.0f, 1.0f, -0.6f};
    glProgramUniform3fv(ballProgram, 2, 1, lightVector);
    if (glGetError() != GL_NO_ERROR) fail("GL error during set-up");

    // ----- Frames.
    std::vector<double> frameMs;
    frameMs.reserve(options.frames);
    Clock::time_point previous = Clock::now();
    Clock::time_point firstPresent;
    long faultsAtMiddle = 0;  // the second half of the run is past the warm-up
    double fpsElapsed = 0.0;
    int framesCounted = 0;
    char fpsText[20];
    bool quit = false;
    GLsync fences[3] = {};
    for (uint64_t frame = 1; frame <= options.frames && !quit; ++frame) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT) quit = true;

        const Clock::time_point now = Clock::now();
        fpsElapsed += std::chrono::duration<double>(now - previous).count();
        if (fpsElapsed >= 1.0) {
            std::snprintf(fpsText, sizeof fpsText, "FPS: %d", framesCounted);
            fpsElapsed = 0.0;
            setLabel(fpsLabel, fpsText, screenWidth * 0.5f - 80.0f, screenHeight * 0.5f - 20.0f);
            framesCounted = 0;
        } else {
            ++framesCounted;
        }

        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        glEnable(GL_BLEND);
        glUseProgram(textProgram);
        glBindTextureUnit(0, sheet);
        glBindVertexArray(textArray);
        for (const Label* label : {&fpsLabel, &descriptionLabel}) {
            if (label->vertices == 0) continue;
            glVertexArrayVertexBuffer(textArray, 0, label->buffer, 0, sizeof(TextVertex));
            glDrawArrays(GL_TRIANGLES, 0, label->vertices);
        }

        glDisable(GL_BLEND);
        glUseProgram(ballProgram);
        glBindVertexArray(ballArray);
        if (frame == 1) glBindSampler(0, sampler);
        for (int i = 0; i < ballCount; ++i) {
            const Matrix4 worldView = world[i] * view;
            const Matrix4 worldViewProjection = worldView * projection;
            glUniformMatrix4fv(0, 1, GL_FALSE, worldView.data());
            glUniformMatrix4fv(1, 1, GL_FALSE, worldViewProjection.data());
            glBindTextureUnit(0, ballTextures[i]);
            glVertexArrayVertexBuffer(ballArray, 0, ballBuffers[i], 0, sizeof(BallVertex));
            if (options.indexed) {
                glVertexArrayElementBuffer(ballArray, indexBuffers[i]);
                glDrawElements(GL_TRIANGLES, ballVertices, GL_UNSIGNED_SHORT, nullptr);
            } else {
                glDrawArrays(GL_TRIANGLES, 0, ballVertices);
            }
        }

        SDL_GL_SwapWindow(window);

        // At most two frames in flight: fence this one, wait for the one two
        // frames back. Offscreen, swapping does not hold the CPU back, and
        // without a flush llvmpipe would only pile the frames up unrendered.
        const size_t slot = frame % 3;
        fences[slot] = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        if (GLsync& old = fences[(frame + 1) % 3]) {
            while (glClientWaitSync(old, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000ull) == GL_TIMEOUT_EXPIRED) {
            }
            glDeleteSync(old);
            old = nullptr;
        }

        const Clock::time_point end = Clock::now();
        if (frame == std::max<uint64_t>(2, options.frames / 2)) faultsAtMiddle = minorFaults();
        if (frame == 1) {
            firstPresent = end;
        } else {
            frameMs.push_back(milliseconds(end - previous));
        }
        previous = end;
        // The demo's loop gives up the rest of its time slice after every
        // frame (Sleep(0)); so does this one.
        sched_yield();
    }
    const long faults = minorFaults() - faultsAtMiddle;
    const size_t measured = frameMs.size();
    const uint64_t steadyFrames = options.frames - std::max<uint64_t>(2, options.frames / 2);

    // ----- Teardown.
    for (GLsync fence : fences)
        if (fence) glDeleteSync(fence);
    glDeleteBuffers(ballCount, ballBuffers);
    if (options.indexed) glDeleteBuffers(ballCount, indexBuffers);
    glDeleteTextures(ballCount, ballTextures);
    glDeleteTextures(1, &sheet);
    for (Label* label : {&fpsLabel, &descriptionLabel})
        if (label->buffer) glDeleteBuffers(1, &label->buffer);
    glDeleteVertexArrays(1, &ballArray);
    glDeleteVertexArrays(1, &textArray);
    glDeleteSamplers(1, &sampler);
    glDeleteSamplers(1, &firstSampler);
    glDeleteProgram(ballProgram);
    glDeleteProgram(textProgram);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();

    std::vector<double> sorted = frameMs;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.empty() ? 0.0
                          : sorted.size() % 2 ? sorted[sorted.size() / 2]
                                              : 0.5 * (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]);
    const double p95 = sorted.empty() ? 0.0 : sorted[std::min(sorted.size() - 1, (sorted.size() * 95 + 99) / 100 - 1)];
    const double firstFrameMs = milliseconds(firstPresent - meshesBuilt);
    std::printf("{\"frames\":%zu,\"program\":\"floor\",\"startup_ms\":%.3f,"
                "\"startup\":{\"window_ms\":%.3f,\"device_ms\":%.3f,\"shader_ms\":%.3f,\"image_decode_ms\":%.3f,"
                "\"texture_upload_ms\":%.3f,\"mesh_ms\":%.3f,\"first_frame_ms\":%.3f},"
                "\"first_present_clock_ns\":%lld,"
                "\"frame_ms\":{\"median\":%.3f,\"p95\":%.3f,\"max\":%.3f},"
                "\"faults_per_frame\":%.1f,\"mallopt\":%s}\n",
                measured + (firstPresent != Clock::time_point{} ? 1 : 0), milliseconds(firstPresent - start),
                milliseconds(windowCreated - start), milliseconds(contextCreated - windowCreated),
                milliseconds(shadersBuilt - contextCreated), milliseconds(decoding),
                milliseconds(imagesLoaded - shadersBuilt - decoding),
                milliseconds(meshesBuilt - imagesLoaded), firstFrameMs,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           firstPresent.time_since_epoch()).count()),
                median, p95, sorted.empty() ? 0.0 : sorted.back(),
                steadyFrames ? static_cast<double>(faults) / static_cast<double>(steadyFrames) : 0.0,
                options.mallopt ? "true" : "false");
    return 0;
}
