#include "GlObjects.h"

#include <cstdio>

GLuint compileGlShader(GLenum type, const std::string& source, const char* what)
{
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) return shader;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, log.data());
    glDeleteShader(shader);
    std::fprintf(stderr, "%s does not compile:\n%s\n%s\n", what, log.c_str(), source.c_str());
    return 0;
}
