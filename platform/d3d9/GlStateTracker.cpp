#include "GlStateTracker.h"

namespace {

constexpr GLenum capEnum[GlStateTracker::CapCount] = {
    GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_STENCIL_TEST, GL_SCISSOR_TEST,
    GL_POLYGON_OFFSET_FILL, GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT,
};

float channel(uint32_t argb, int shift) { return static_cast<float>((argb >> shift) & 0xFF) / 255.0f; }

int faceIndex(GLenum face) { return face == GL_BACK ? 1 : 0; }

}  // namespace

GlStateTracker::GlStateTracker(tvd3d9::DeviceStats& deviceStats) : stats(deviceStats) {}

void GlStateTracker::reset()
{
    for (int i = 0; i < CapCount; ++i) {
        caps[i] = false;
        glDisable(capEnum[i]);
    }
    depthFuncValue = GL_LESS;
    glDepthFunc(depthFuncValue);
    depthMaskValue = true;
    glDepthMask(GL_TRUE);
    cullFaceValue = GL_BACK;
    glCullFace(GL_BACK);
    polygonModeValue = GL_FILL;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    offsetFactor = offsetUnits = 0.0f;
    glPolygonOffset(0.0f, 0.0f);
    pointSizeValue = 1.0f;
    glPointSize(1.0f);
    blend[0] = blend[2] = GL_ONE;
    blend[1] = blend[3] = GL_ZERO;
    glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_ONE, GL_ZERO);
    blendEq[0] = blendEq[1] = GL_FUNC_ADD;
    glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    blendColorValue = 0;
    glBlendColor(0.0f, 0.0f, 0.0f, 0.0f);
    colorMaskValue = 0xF;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    stencil[0] = stencil[1] = StencilFace{};
    glStencilFunc(GL_ALWAYS, 0, 0xFFFFFFFFu);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glStencilMask(0xFFFFFFFFu);
    for (GLint& v : viewportValue) v = 0;
    glViewport(0, 0, 0, 0);
    depthRangeValue[0] = 0.0f;
    depthRangeValue[1] = 1.0f;
    glDepthRangef(0.0f, 1.0f);
    for (GLint& v : scissorValue) v = 0;
    glScissor(0, 0, 0, 0);
    clearColorValue = 0;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    clearDepthValue = 1.0f;
    glClearDepthf(1.0f);
    clearStencilValue = 0;
    glClearStencil(0);

    program = 0;
    glUseProgram(0);
    vertexArray = 0;
    glBindVertexArray(0);
    for (int unit = 0; unit < textureUnits; ++unit) {
        textures[unit] = 0;
        samplers[unit] = 0;
        glBindTextureUnit(static_cast<GLuint>(unit), 0);
        glBindSampler(static_cast<GLuint>(unit), 0);
    }
    for (int i = 0; i < uniformBindings; ++i) {
        uniforms[i] = UniformRange{};
        glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(i), 0);
    }
    drawFramebuffer = readFramebuffer = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    unpackRowLengthValue = 0;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void GlStateTracker::enable(Cap cap, bool on)
{
    if (caps[cap] == on) return;
    caps[cap] = on;
    if (on)
        glEnable(capEnum[cap]);
    else
        glDisable(capEnum[cap]);
    counted();
}

void GlStateTracker::depthFunc(GLenum func)
{
    if (depthFuncValue == func) return;
    depthFuncValue = func;
    glDepthFunc(func);
    counted();
}

void GlStateTracker::depthMask(bool on)
{
    if (depthMaskValue == on) return;
    depthMaskValue = on;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    counted();
}

void GlStateTracker::cullFace(GLenum face)
{
    if (cullFaceValue == face) return;
    cullFaceValue = face;
    glCullFace(face);
    counted();
}

void GlStateTracker::polygonMode(GLenum mode)
{
    if (polygonModeValue == mode) return;
    polygonModeValue = mode;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    counted();
}

void GlStateTracker::polygonOffset(float factor, float units)
{
    if (offsetFactor == factor && offsetUnits == units) return;
    offsetFactor = factor;
    offsetUnits = units;
    glPolygonOffset(factor, units);
    counted();
}

void GlStateTracker::pointSize(float size)
{
    if (pointSizeValue == size) return;
    pointSizeValue = size;
    glPointSize(size);
    counted();
}

void GlStateTracker::blendFunc(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha)
{
    if (blend[0] == srcRgb && blend[1] == dstRgb && blend[2] == srcAlpha && blend[3] == dstAlpha) return;
    blend[0] = srcRgb;
    blend[1] = dstRgb;
    blend[2] = srcAlpha;
    blend[3] = dstAlpha;
    glBlendFuncSeparate(srcRgb, dstRgb, srcAlpha, dstAlpha);
    counted();
}

void GlStateTracker::blendEquation(GLenum rgb, GLenum alpha)
{
    if (blendEq[0] == rgb && blendEq[1] == alpha) return;
    blendEq[0] = rgb;
    blendEq[1] = alpha;
    glBlendEquationSeparate(rgb, alpha);
    counted();
}

void GlStateTracker::blendColor(uint32_t argb)
{
    if (blendColorValue == argb) return;
    blendColorValue = argb;
    glBlendColor(channel(argb, 16), channel(argb, 8), channel(argb, 0), channel(argb, 24));
    counted();
}

void GlStateTracker::colorMask(uint32_t rgbaBits)
{
    rgbaBits &= 0xF;
    if (colorMaskValue == rgbaBits) return;
    colorMaskValue = rgbaBits;
    glColorMask((rgbaBits & 1) ? GL_TRUE : GL_FALSE, (rgbaBits & 2) ? GL_TRUE : GL_FALSE,
                (rgbaBits & 4) ? GL_TRUE : GL_FALSE, (rgbaBits & 8) ? GL_TRUE : GL_FALSE);
    counted();
}

void GlStateTracker::stencilFunc(GLenum face, GLenum func, GLint ref, GLuint mask)
{
    StencilFace& s = stencil[faceIndex(face)];
    if (s.func == func && s.ref == ref && s.mask == mask) return;
    s.func = func;
    s.ref = ref;
    s.mask = mask;
    glStencilFuncSeparate(face, func, ref, mask);
    counted();
}

void GlStateTracker::stencilOp(GLenum face, GLenum fail, GLenum depthFail, GLenum pass)
{
    StencilFace& s = stencil[faceIndex(face)];
    if (s.fail == fail && s.depthFail == depthFail && s.pass == pass) return;
    s.fail = fail;
    s.depthFail = depthFail;
    s.pass = pass;
    glStencilOpSeparate(face, fail, depthFail, pass);
    counted();
}

void GlStateTracker::stencilWriteMask(GLenum face, GLuint mask)
{
    StencilFace& s = stencil[faceIndex(face)];
    if (s.writeMask == mask) return;
    s.writeMask = mask;
    glStencilMaskSeparate(face, mask);
    counted();
}

void GlStateTracker::viewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (viewportValue[0] == x && viewportValue[1] == y && viewportValue[2] == width && viewportValue[3] == height) return;
    viewportValue[0] = x;
    viewportValue[1] = y;
    viewportValue[2] = width;
    viewportValue[3] = height;
    glViewport(x, y, width, height);
    counted();
}

void GlStateTracker::depthRange(float nearZ, float farZ)
{
    if (depthRangeValue[0] == nearZ && depthRangeValue[1] == farZ) return;
    depthRangeValue[0] = nearZ;
    depthRangeValue[1] = farZ;
    glDepthRangef(nearZ, farZ);
    counted();
}

void GlStateTracker::scissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (scissorValue[0] == x && scissorValue[1] == y && scissorValue[2] == width && scissorValue[3] == height) return;
    scissorValue[0] = x;
    scissorValue[1] = y;
    scissorValue[2] = width;
    scissorValue[3] = height;
    glScissor(x, y, width, height);
    counted();
}

void GlStateTracker::clearColor(uint32_t argb)
{
    if (clearColorValue == argb) return;
    clearColorValue = argb;
    glClearColor(channel(argb, 16), channel(argb, 8), channel(argb, 0), channel(argb, 24));
    counted();
}

void GlStateTracker::clearDepth(float depth)
{
    if (clearDepthValue == depth) return;
    clearDepthValue = depth;
    glClearDepthf(depth);
    counted();
}

void GlStateTracker::clearStencil(GLint value)
{
    if (clearStencilValue == value) return;
    clearStencilValue = value;
    glClearStencil(value);
    counted();
}

void GlStateTracker::useProgram(GLuint name)
{
    if (program == name) return;
    program = name;
    glUseProgram(name);
    ++stats.programBinds;
    counted();
}

void GlStateTracker::bindVertexArray(GLuint name)
{
    if (vertexArray == name) return;
    vertexArray = name;
    glBindVertexArray(name);
    counted();
}

void GlStateTracker::bindTexture(int unit, GLuint name)
{
    if (textures[unit] == name) return;
    textures[unit] = name;
    glBindTextureUnit(static_cast<GLuint>(unit), name);
    counted();
}

void GlStateTracker::bindSampler(int unit, GLuint name)
{
    if (samplers[unit] == name) return;
    samplers[unit] = name;
    glBindSampler(static_cast<GLuint>(unit), name);
    counted();
}

void GlStateTracker::bindUniformBuffer(int index, GLuint buffer, GLintptr offset, GLsizeiptr size)
{
    UniformRange& u = uniforms[index];
    if (u.buffer == buffer && u.offset == offset && u.size == size) return;
    u.buffer = buffer;
    u.offset = offset;
    u.size = size;
    glBindBufferRange(GL_UNIFORM_BUFFER, static_cast<GLuint>(index), buffer, offset, size);
    counted();
}

void GlStateTracker::bindDrawFramebuffer(GLuint name)
{
    if (drawFramebuffer == name) return;
    drawFramebuffer = name;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, name);
    counted();
}

void GlStateTracker::bindReadFramebuffer(GLuint name)
{
    if (readFramebuffer == name) return;
    readFramebuffer = name;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, name);
    counted();
}

void GlStateTracker::unpackRowLength(GLint pixels)
{
    if (unpackRowLengthValue == pixels) return;
    unpackRowLengthValue = pixels;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels);
    counted();
}

void GlStateTracker::forgetTexture(GLuint name)
{
    for (GLuint& t : textures)
        if (t == name) t = 0;
}

void GlStateTracker::forgetProgram(GLuint name)
{
    if (program == name) program = 0;
}

void GlStateTracker::forgetVertexArray(GLuint name)
{
    if (vertexArray == name) vertexArray = 0;
}

void GlStateTracker::forgetBuffer(GLuint name)
{
    for (UniformRange& u : uniforms)
        if (u.buffer == name) u = UniformRange{};
}

void GlStateTracker::forgetFramebuffer(GLuint name)
{
    if (drawFramebuffer == name) drawFramebuffer = 0;
    if (readFramebuffer == name) readFramebuffer = 0;
}
