// The OpenGL API the layer is written against. On Linux libepoxy resolves
// every entry point of whichever context is current (desktop GL or GL ES).
// In a browser there is one context, WebGL 2, whose entry points are GL ES
// 3.0's: the names the layer uses only on desktop contexts (direct state
// access, clip control, polygon modes, BGRA formats, ...; GlCaps decides
// where) stand here as constants with their GL values and functions that
// are never called, so the layer compiles the same everywhere.
#pragma once

#ifndef __EMSCRIPTEN__
#include <epoxy/gl.h>
#else
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include <cstring>

// What libepoxy answers about the current context.
inline bool epoxy_is_desktop_gl() { return false; }
inline int epoxy_gl_version() { return 30; }
inline bool epoxy_has_gl_extension(const char* name)
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* extension = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (extension != nullptr && std::strcmp(extension, name) == 0) return true;
    }
    return false;
}

#ifndef GLAPIENTRY
#define GLAPIENTRY GL_APIENTRY
#endif
typedef void(GL_APIENTRY* GLDEBUGPROC)(GLenum, GLenum, GLuint, GLenum, GLsizei, const GLchar*, const void*);

// Desktop GL's values of the names GL ES 3.0 lacks.
#define GL_BGRA 0x80E1
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_UNSIGNED_SHORT_1_5_5_5_REV 0x8366
#define GL_UNSIGNED_SHORT_4_4_4_4_REV 0x8365
#define GL_TEXTURE_SWIZZLE_RGBA 0x8E46
#define GL_TEXTURE_LOD_BIAS 0x8501
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_CLAMP_TO_BORDER 0x812D
#define GL_MIRROR_CLAMP_TO_EDGE 0x8743
#define GL_PACK_INVERT_MESA 0x8758
#define GL_LOWER_LEFT 0x8CA1
#define GL_ZERO_TO_ONE 0x935F
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02
#define GL_POLYGON_OFFSET_POINT 0x2A01
#define GL_POLYGON_OFFSET_LINE 0x2A02
#define GL_CONTEXT_PROFILE_MASK 0x9126
#define GL_CONTEXT_CORE_PROFILE_BIT 0x00000001
#define GL_DEBUG_OUTPUT 0x92E0
#define GL_DEBUG_OUTPUT_SYNCHRONOUS 0x8242
#define GL_DEBUG_TYPE_ERROR 0x824C
#define GL_DEBUG_SEVERITY_NOTIFICATION 0x826B
#define GL_MAP_PERSISTENT_BIT 0x0040
#define GL_MAP_COHERENT_BIT 0x0080
#define GL_DYNAMIC_STORAGE_BIT 0x0100

// WebGL 2's getBufferSubData, which emscripten offers under GL's name.
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);

// Entry points of desktop contexts only: never reached in a browser.
inline void glCreateBuffers(GLsizei, GLuint*) {}
inline void glNamedBufferStorage(GLuint, GLsizeiptr, const void*, GLbitfield) {}
inline void glNamedBufferSubData(GLuint, GLintptr, GLsizeiptr, const void*) {}
inline void glGetNamedBufferSubData(GLuint, GLintptr, GLsizeiptr, void*) {}
inline void* glMapNamedBufferRange(GLuint, GLintptr, GLsizeiptr, GLbitfield) { return nullptr; }
inline GLboolean glUnmapNamedBuffer(GLuint) { return GL_FALSE; }
inline void glCreateTextures(GLenum, GLsizei, GLuint*) {}
inline void glTextureStorage2D(GLuint, GLsizei, GLenum, GLsizei, GLsizei) {}
inline void glTextureParameteriv(GLuint, GLenum, const GLint*) {}
inline void glTextureSubImage2D(GLuint, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) {}
inline void glGenerateTextureMipmap(GLuint) {}
inline void glGetTextureSubImage(GLuint, GLint, GLint, GLint, GLint, GLsizei, GLsizei, GLsizei, GLenum, GLenum,
                                 GLsizei, void*)
{
}
inline void glGetTexImage(GLenum, GLint, GLenum, GLenum, void*) {}
inline void glCreateRenderbuffers(GLsizei, GLuint*) {}
inline void glNamedRenderbufferStorage(GLuint, GLenum, GLsizei, GLsizei) {}
inline void glCreateFramebuffers(GLsizei, GLuint*) {}
inline void glNamedFramebufferRenderbuffer(GLuint, GLenum, GLenum, GLuint) {}
inline GLenum glCheckNamedFramebufferStatus(GLuint, GLenum) { return 0; }
inline void glCreateVertexArrays(GLsizei, GLuint*) {}
inline void glVertexArrayAttribFormat(GLuint, GLuint, GLint, GLenum, GLboolean, GLuint) {}
inline void glVertexArrayAttribIFormat(GLuint, GLuint, GLint, GLenum, GLuint) {}
inline void glVertexArrayAttribBinding(GLuint, GLuint, GLuint) {}
inline void glEnableVertexArrayAttrib(GLuint, GLuint) {}
inline void glVertexArrayVertexBuffer(GLuint, GLuint, GLuint, GLintptr, GLsizei) {}
inline void glVertexArrayElementBuffer(GLuint, GLuint) {}
inline void glBindTextureUnit(GLuint, GLuint) {}
inline void glClipControl(GLenum, GLenum) {}
inline void glPolygonMode(GLenum, GLenum) {}
inline void glPointSize(GLfloat) {}
inline void glDepthRange(double, double) {}
inline void glClearDepth(double) {}
inline void glDebugMessageCallback(GLDEBUGPROC, const void*) {}
#endif
