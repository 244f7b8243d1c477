// Making and editing GL objects: the layer's one way to learn whether GL
// could allocate them, shader compilation, and the calls that differ between
// the contexts the device runs on (see GlCaps). With direct state access
// (OpenGL 4.5) an object is edited by name; otherwise it is bound first, to
// a binding that no draw reads (a buffer to GL_COPY_WRITE_BUFFER, a texture
// to the tracker's edit unit), through the tracker, which keeps knowing
// what is bound.
#pragma once

#include "FormatTable.h"
#include "GlStateTracker.h"

#include "GlApi.h"

#include <cstdint>
#include <string>

// Runs `create` -- GL calls that make objects and give them storage -- and
// tells whether GL raised no error doing it (out of memory, a size beyond
// its limits). Errors left from earlier calls are drained first, so they are
// not blamed on it. Only for creation: drawing never asks GL for errors.
// In a browser every glGetError waits for the GPU process (a quarter of a
// second of the page's start-up), and WebGL answers a lack of memory by
// losing the context rather than with an error: creation is taken as done.
template <typename Create>
bool createdWithoutGlError(Create&& create)
{
#ifdef __EMSCRIPTEN__
    create();
    return true;
#else
    while (glGetError() != GL_NO_ERROR) {
    }
    create();
    return glGetError() == GL_NO_ERROR;
#endif
}

// Compiles one GL shader; 0 on failure, when `what` (the caller's name for
// the shader) goes to stderr with the compiler's log and the source.
GLuint compileGlShader(GLenum type, const std::string& source, const char* what);
// Links a vertex and a fragment shader; 0 on failure, when the linker's log
// goes to stderr.
GLuint linkGlProgram(GLuint vertex, GLuint fragment);

namespace GlObjects {

// Buffers. A vertex buffer written again later (`updated`) or filled once
// with `data`; an index list filled once. Index lists are made while a
// vertex array of the tracker's is bound (WebGL keeps a buffer that was
// ever an index list from serving as anything else, and the other way
// round).
enum class BufferUse { Vertices, UpdatedVertices, Indices };
GLuint createBuffer(GlStateTracker& tracker, BufferUse use, size_t bytes, const void* data);
void bufferData(GlStateTracker& tracker, GLuint buffer, size_t offset, size_t bytes, const void* data);
// Copies a buffer's first `bytes` into `out`.
void readBuffer(GlStateTracker& tracker, GLuint buffer, size_t bytes, void* out);

// Textures: storage for `levels` levels of a width x height texture in
// `format`, and uploads of a rectangle of a level from memory in Direct3D's
// layout (rows of `rowPixels` pixels).
GLuint createTexture(GlStateTracker& tracker, const GlFormat& format, UINT levels, UINT width, UINT height);
void textureData(GlStateTracker& tracker, GLuint texture, const GlFormat& format, UINT level, const RECT& rect,
                 const uint8_t* pixels, UINT rowPixels);
void generateMipmaps(GlStateTracker& tracker, GLuint texture);
// A whole level back in Direct3D's layout.
void readTexture(GlStateTracker& tracker, GLuint texture, const GlFormat& format, UINT level, UINT width, UINT height,
                 void* out);

// Framebuffers: renderbuffers of a colour and a depth-stencil format, and a
// framebuffer of them; 0 when GL refuses the size.
GLuint createRenderbuffer(GlStateTracker& tracker, GLenum format, int width, int height);
GLuint createFramebuffer(GlStateTracker& tracker, GLuint color, GLuint depthStencil);
// The framebuffer's colour as 0xAARRGGBB words, bottom row first, rows
// `pitch` bytes apart.
void readPixels(GlStateTracker& tracker, GLuint framebuffer, int width, int height, uint8_t* out, size_t pitch);

// Vertex arrays. An attribute is described once; where the context binds
// buffers to attributes separately (4.3 and later) the format goes to the
// array at once and streams are bound per binding, otherwise each
// attribute takes its stream's buffer, offset and stride when the stream is
// bound.
struct VertexAttribute {
    GLuint location;
    GLint size;  // components
    GLenum type;
    GLboolean normalized;
    bool integer;
    UINT offset;  // in the stream's vertex
    UINT stream;
};
GLuint createVertexArray(GlStateTracker& tracker);
void describeAttribute(GlStateTracker& tracker, GLuint vertexArray, const VertexAttribute& attribute);
// Binds a stream of the bound vertex array: `attributes` are those of the
// array reading it.
void bindStream(GlStateTracker& tracker, GLuint vertexArray, UINT stream, GLuint buffer, UINT offset, UINT stride,
                const VertexAttribute* attributes, int attributeCount);
void bindIndices(GlStateTracker& tracker, GLuint vertexArray, GLuint indices);
// Deletes the tracker's scratch (the vertex array index lists are made in on
// contexts without direct state access, the texture conversion buffer).
void deleteScratch(GlStateTracker& tracker);

}  // namespace GlObjects
