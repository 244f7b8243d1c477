// Making GL objects: the layer's one way to learn whether GL could allocate
// them, and shader compilation.
#pragma once

#include <epoxy/gl.h>

#include <string>

// Runs `create` -- GL calls that make objects and give them storage -- and
// tells whether GL raised no error doing it (out of memory, a size beyond
// its limits). Errors left from earlier calls are drained first, so they are
// not blamed on it. Only for creation: drawing never asks GL for errors.
template <typename Create>
bool createdWithoutGlError(Create&& create)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    create();
    return glGetError() == GL_NO_ERROR;
}

// Compiles one GL shader; 0 on failure, when `what` (the caller's name for
// the shader) goes to stderr with the compiler's log and the source.
GLuint compileGlShader(GLenum type, const std::string& source, const char* what);
