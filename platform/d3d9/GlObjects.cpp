#include "GlObjects.h"

GLuint compileGlShader(GLenum type, const std::string& source, std::string& log)
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
    log.assign(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, log.data());
    glDeleteShader(shader);
    return 0;
}
