#include "GlObjects.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// The info log of a shader or program object.
template <typename Query, typename Read>
std::string infoLog(GLuint object, Query query, Read read)
{
    GLint length = 0;
    query(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) read(object, length, nullptr, log.data());
    return log;
}

}  // namespace

GLuint compileGlShader(GLenum type, const std::string& source, const char* what)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return shader;
    const std::string log = infoLog(shader, glGetShaderiv, glGetShaderInfoLog);
    glDeleteShader(shader);
    std::fprintf(stderr, "%s does not compile:\n%s\n%s\n", what, log.c_str(), source.c_str());
    return 0;
}

GLuint linkGlProgram(GLuint vertex, GLuint fragment)
{
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE) return program;
    const std::string log = infoLog(program, glGetProgramiv, glGetProgramInfoLog);
    std::fprintf(stderr, "Direct3D 9 layer: the shader pair does not link: %s\n", log.c_str());
    glDeleteProgram(program);
    return 0;
}

namespace GlObjects {

namespace {

bool dsa(const GlStateTracker& tracker) { return tracker.caps().directStateAccess; }

}  // namespace

// ---------------------------------------------------------------------------
// Buffers.

GLuint createBuffer(GlStateTracker& tracker, BufferUse use, size_t bytes, const void* data)
{
    GLuint name = 0;
    const auto size = static_cast<GLsizeiptr>(bytes);
    if (dsa(tracker)) {
        glCreateBuffers(1, &name);
        // Storage written later must say so; storage made with its data is
        // never written again.
        glNamedBufferStorage(name, size, data, data != nullptr ? 0 : GL_DYNAMIC_STORAGE_BIT);
        return name;
    }
    glGenBuffers(1, &name);
    if (use == BufferUse::Indices) {
        if (tracker.scratchVertexArray == 0) glGenVertexArrays(1, &tracker.scratchVertexArray);
        tracker.bindVertexArray(tracker.scratchVertexArray);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, size, data, GL_STATIC_DRAW);
        return name;
    }
    tracker.bindCopyWriteBuffer(name);
    glBufferData(GL_COPY_WRITE_BUFFER, size, data, use == BufferUse::UpdatedVertices ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    return name;
}

void bufferData(GlStateTracker& tracker, GLuint buffer, size_t offset, size_t bytes, const void* data)
{
    if (dsa(tracker)) {
        glNamedBufferSubData(buffer, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
    } else {
        tracker.bindCopyWriteBuffer(buffer);
        glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
    }
    tracker.countCall();
}

void readBuffer(GlStateTracker& tracker, GLuint buffer, size_t bytes, void* out)
{
    const auto size = static_cast<GLsizeiptr>(bytes);
    if (dsa(tracker)) {
        glGetNamedBufferSubData(buffer, 0, size, out);
    } else {
        // GL_COPY_READ_BUFFER serves nothing else, so it is not tracked.
        glBindBuffer(GL_COPY_READ_BUFFER, buffer);
#ifdef __EMSCRIPTEN__
        glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, out);  // WebGL 2's getBufferSubData
#else
        if (!tracker.caps().es) {
            glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, out);
        } else if (const void* mapped = glMapBufferRange(GL_COPY_READ_BUFFER, 0, size, GL_MAP_READ_BIT)) {
            std::memcpy(out, mapped, bytes);
            glUnmapBuffer(GL_COPY_READ_BUFFER);
        }
#endif
        glBindBuffer(GL_COPY_READ_BUFFER, 0);
    }
    tracker.countCall();
}

// ---------------------------------------------------------------------------
// Textures.

GLuint createTexture(GlStateTracker& tracker, const GlFormat& format, UINT levels, UINT width, UINT height)
{
    GLuint name = 0;
    const GlCaps& caps = tracker.caps();
    if (dsa(tracker)) {
        glCreateTextures(GL_TEXTURE_2D, 1, &name);
        glTextureStorage2D(name, static_cast<GLsizei>(levels), format.internalFormat, static_cast<GLsizei>(width),
                           static_cast<GLsizei>(height));
        glTextureParameteriv(name, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
        return name;
    }
    glGenTextures(1, &name);
    tracker.editTexture(name);
    // Without BGRA textures every texture is RGBA8, converted on upload
    // (FormatTable::toRgba8), and needs no swizzle.
    const bool rgba8 = !caps.bgraTextures;
    if (rgba8 || caps.textureStorage) {
        glTexStorage2D(GL_TEXTURE_2D, static_cast<GLsizei>(levels), rgba8 ? GL_RGBA8 : format.internalFormat,
                       static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    } else {
        // Level by level, and the texture told how many there are, so that
        // it is complete with fewer than a full chain.
        for (UINT level = 0, w = width, h = height; level < levels; ++level, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(format.internalFormat),
                         static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, format.pixelFormat, format.pixelType,
                         nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels) - 1);
    }
    if (!rgba8) glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
    return name;
}

void textureData(GlStateTracker& tracker, GLuint texture, const GlFormat& format, UINT level, const RECT& rect,
                 const uint8_t* pixels, UINT rowPixels)
{
    const GLint x = rect.left;
    const GLint y = rect.top;
    const GLsizei width = rect.right - rect.left;
    const GLsizei height = rect.bottom - rect.top;
    const uint8_t* first = pixels + (size_t{static_cast<UINT>(rect.top)} * rowPixels + static_cast<UINT>(rect.left)) *
                                        format.bytesPerPixel;
    if (!tracker.caps().bgraTextures) {
        // The device's conversion buffer, kept: fresh memory for every
        // upload would fault its pages in again each time.
        std::vector<uint8_t>& rgba = tracker.scratchPixels;
        rgba.resize(std::max(rgba.size(), size_t{static_cast<UINT>(width)} * static_cast<UINT>(height) * 4));
        for (GLsizei row = 0; row < height; ++row)
            FormatTable::toRgba8(format, first + size_t{static_cast<UINT>(row)} * rowPixels * format.bytesPerPixel,
                                 rgba.data() + size_t{static_cast<UINT>(row)} * static_cast<UINT>(width) * 4,
                                 static_cast<size_t>(width));
        tracker.unpackRowLength(0);
        tracker.editTexture(texture);
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                        rgba.data());
        tracker.countCall();
        return;
    }
    tracker.unpackRowLength(static_cast<GLint>(rowPixels));
    if (dsa(tracker)) {
        glTextureSubImage2D(texture, static_cast<GLint>(level), x, y, width, height, format.pixelFormat,
                            format.pixelType, first);
    } else {
        tracker.editTexture(texture);
        glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), x, y, width, height, format.pixelFormat,
                        format.pixelType, first);
    }
    tracker.countCall();
}

void generateMipmaps(GlStateTracker& tracker, GLuint texture)
{
    if (dsa(tracker)) {
        glGenerateTextureMipmap(texture);
    } else {
        tracker.editTexture(texture);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    tracker.countCall();
}

void readTexture(GlStateTracker& tracker, GLuint texture, const GlFormat& format, UINT level, UINT width, UINT height,
                 void* out)
{
    const size_t bytes = size_t{width} * height * format.bytesPerPixel;
    if (dsa(tracker)) {
        glGetTextureSubImage(texture, static_cast<GLint>(level), 0, 0, 0, static_cast<GLsizei>(width),
                             static_cast<GLsizei>(height), 1, format.pixelFormat, format.pixelType,
                             static_cast<GLsizei>(bytes), out);
    } else if (!tracker.caps().es) {
        tracker.editTexture(texture);
        glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), format.pixelFormat, format.pixelType, out);
    } else {
        // GL ES reads textures only through a framebuffer, as the RGBA8 they
        // hold here (textureData converted them).
        GLuint framebuffer = 0;
        glGenFramebuffers(1, &framebuffer);
        tracker.bindReadFramebuffer(framebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture,
                               static_cast<GLint>(level));
        std::vector<uint8_t> rgba(size_t{width} * height * 4);
        glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
        glDeleteFramebuffers(1, &framebuffer);
        tracker.forgetFramebuffer(framebuffer);
        FormatTable::fromRgba8(format, rgba.data(), static_cast<uint8_t*>(out), size_t{width} * height);
    }
    tracker.countCall();
}

// ---------------------------------------------------------------------------
// Framebuffers.

GLuint createRenderbuffer(GlStateTracker& tracker, GLenum format, int width, int height)
{
    GLuint name = 0;
    if (dsa(tracker)) {
        glCreateRenderbuffers(1, &name);
        glNamedRenderbufferStorage(name, format, width, height);
    } else {
        // The renderbuffer binding serves nothing else, so it is not tracked.
        glGenRenderbuffers(1, &name);
        glBindRenderbuffer(GL_RENDERBUFFER, name);
        glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    return name;
}

GLuint createFramebuffer(GlStateTracker& tracker, GLuint color, GLuint depthStencil)
{
    GLuint name = 0;
    GLenum status = 0;
    if (dsa(tracker)) {
        glCreateFramebuffers(1, &name);
        glNamedFramebufferRenderbuffer(name, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        if (depthStencil != 0)
            glNamedFramebufferRenderbuffer(name, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
        status = glCheckNamedFramebufferStatus(name, GL_DRAW_FRAMEBUFFER);
    } else {
        glGenFramebuffers(1, &name);
        tracker.bindDrawFramebuffer(name);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color);
        if (depthStencil != 0)
            glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil);
        status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    }
    if (status == GL_FRAMEBUFFER_COMPLETE) return name;
    glDeleteFramebuffers(1, &name);
    tracker.forgetFramebuffer(name);
    return 0;
}

void readPixels(GlStateTracker& tracker, GLuint framebuffer, int width, int height, uint8_t* out, size_t pitch)
{
    tracker.bindReadFramebuffer(framebuffer);
    glPixelStorei(GL_PACK_ROW_LENGTH, static_cast<GLint>(pitch / 4));
    if (tracker.caps().bgraReadPixels) {
        glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
    } else {
        // GL ES reads R, G, B, A bytes: turned into B, G, R, A in place.
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, out);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = out + static_cast<size_t>(y) * pitch;
            for (int x = 0; x < width; ++x) std::swap(row[x * 4], row[x * 4 + 2]);
        }
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    tracker.countCall();
}

// ---------------------------------------------------------------------------
// Vertex arrays.

GLuint createVertexArray(GlStateTracker& tracker)
{
    GLuint name = 0;
    if (dsa(tracker))
        glCreateVertexArrays(1, &name);
    else
        glGenVertexArrays(1, &name);
    return name;
}

void describeAttribute(GlStateTracker& tracker, GLuint vertexArray, const VertexAttribute& a)
{
    if (dsa(tracker)) {
        if (a.integer)
            glVertexArrayAttribIFormat(vertexArray, a.location, a.size, a.type, a.offset);
        else
            glVertexArrayAttribFormat(vertexArray, a.location, a.size, a.type, a.normalized, a.offset);
        glVertexArrayAttribBinding(vertexArray, a.location, a.stream);
        glEnableVertexArrayAttrib(vertexArray, a.location);
        return;
    }
    // The format goes with the stream's buffer when the stream is bound.
    tracker.bindVertexArray(vertexArray);
    glEnableVertexAttribArray(a.location);
}

void bindStream(GlStateTracker& tracker, GLuint vertexArray, UINT stream, GLuint buffer, UINT offset, UINT stride,
                const VertexAttribute* attributes, int attributeCount)
{
    if (dsa(tracker)) {
        glVertexArrayVertexBuffer(vertexArray, stream, buffer, static_cast<GLintptr>(offset), static_cast<GLsizei>(stride));
        tracker.countStateCall();
        return;
    }
    tracker.bindVertexArray(vertexArray);
    tracker.bindArrayBuffer(buffer);
    for (int i = 0; i < attributeCount; ++i) {
        const VertexAttribute& a = attributes[i];
        if (a.stream != stream) continue;
        const void* at = reinterpret_cast<const void*>(uintptr_t{offset} + a.offset);
        if (a.integer)
            glVertexAttribIPointer(a.location, a.size, a.type, static_cast<GLsizei>(stride), at);
        else
            glVertexAttribPointer(a.location, a.size, a.type, a.normalized, static_cast<GLsizei>(stride), at);
        tracker.countStateCall();
    }
}

void bindIndices(GlStateTracker& tracker, GLuint vertexArray, GLuint indices)
{
    if (dsa(tracker)) {
        glVertexArrayElementBuffer(vertexArray, indices);
    } else {
        tracker.bindVertexArray(vertexArray);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices);
    }
    tracker.countStateCall();
}

void deleteScratch(GlStateTracker& tracker)
{
    std::vector<uint8_t>().swap(tracker.scratchPixels);
    if (tracker.scratchVertexArray == 0) return;
    glDeleteVertexArrays(1, &tracker.scratchVertexArray);
    tracker.forgetVertexArray(tracker.scratchVertexArray);
    tracker.scratchVertexArray = 0;
}

}  // namespace GlObjects
