#include "GlStateTracker.h"

namespace {

constexpr GLenum capEnum[GlStateTracker::CapCount] = {
    GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_STENCIL_TEST, GL_SCISSOR_TEST,
    GL_POLYGON_OFFSET_FILL, GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT,
};

constexpr GLenum faces[2] = {GL_FRONT, GL_BACK};

float channel(uint32_t argb, int shift) { return static_cast<float>((argb >> shift) & 0xFF) / 255.0f; }

int faceIndex(GLenum face) { return face == GL_BACK ? 1 : 0; }

void setCap(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

void setBlendColor(uint32_t argb)
{
    glBlendColor(channel(argb, 16), channel(argb, 8), channel(argb, 0), channel(argb, 24));
}

void setColorMask(uint32_t rgbaBits)
{
    glColorMask((rgbaBits & 1) ? GL_TRUE : GL_FALSE, (rgbaBits & 2) ? GL_TRUE : GL_FALSE,
                (rgbaBits & 4) ? GL_TRUE : GL_FALSE, (rgbaBits & 8) ? GL_TRUE : GL_FALSE);
}

// Holds x, y, width, height in `r`; false when it held them already.
bool changeRect(GLint (&r)[4], GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (r[0] == x && r[1] == y && r[2] == width && r[3] == height) return false;
    r[0] = x;
    r[1] = y;
    r[2] = width;
    r[3] = height;
    return true;
}

void setClearColor(uint32_t argb)
{
    glClearColor(channel(argb, 16), channel(argb, 8), channel(argb, 0), channel(argb, 24));
}

}  // namespace

GlStateTracker::GlStateTracker(tvd3d9::DeviceStats& deviceStats) : stats(deviceStats) {}

void GlStateTracker::reset(const GlCaps& caps)
{
    glCaps = caps;
    state = State{};
    const State& s = state;
    for (int i = 0; i < CapCount; ++i)
        if (capOffered(static_cast<Cap>(i))) setCap(capEnum[i], s.caps[i]);
    glDepthFunc(s.depthFunc);
    glDepthMask(s.depthMask ? GL_TRUE : GL_FALSE);
    glCullFace(s.cullFace);
    if (glCaps.polygonMode) {
        glPolygonMode(GL_FRONT_AND_BACK, s.polygonMode);
        glPointSize(s.pointSize);
    }
    glPolygonOffset(s.offsetFactor, s.offsetUnits);
    glBlendFuncSeparate(s.blend[0], s.blend[1], s.blend[2], s.blend[3]);
    glBlendEquationSeparate(s.blendEquation[0], s.blendEquation[1]);
    setBlendColor(s.blendColor);
    setColorMask(s.colorMask);
    for (int f = 0; f < 2; ++f) {
        const StencilFace& face = s.stencil[f];
        glStencilFuncSeparate(faces[f], face.func, face.ref, face.mask);
        glStencilOpSeparate(faces[f], face.fail, face.depthFail, face.pass);
        glStencilMaskSeparate(faces[f], face.writeMask);
    }
    glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    setDepthRange(s.depthRange[0], s.depthRange[1]);
    glScissor(s.scissor[0], s.scissor[1], s.scissor[2], s.scissor[3]);
    setClearColor(s.clearColor);
    setClearDepth(s.clearDepth);
    glClearStencil(s.clearStencil);

    glUseProgram(s.program);
    glBindVertexArray(s.vertexArray);
    for (int unit = 0; unit <= editUnit; ++unit) {
        setTexture(unit, s.textures[unit]);
        if (unit < textureUnits) glBindSampler(static_cast<GLuint>(unit), s.samplers[unit]);
    }
    if (!glCaps.directStateAccess) {
        glActiveTexture(GL_TEXTURE0);
        state.activeUnit = 0;
    }
    for (int i = 0; i < uniformBindings; ++i)
        glBindBufferBase(GL_UNIFORM_BUFFER, static_cast<GLuint>(i), s.uniforms[i].buffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, s.copyWriteBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.arrayBuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.drawFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.readFramebuffer);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, s.unpackRowLength);
}

bool GlStateTracker::capOffered(Cap cap) const
{
    // GL ES draws filled triangles only: no offset for lines and points.
    return glCaps.polygonMode || (cap != OffsetLine && cap != OffsetPoint);
}

// Desktop GL has had the double forms since 1.0 and the float ones only
// since 4.1; GL ES has only the float ones.
void GlStateTracker::setDepthRange(float nearZ, float farZ)
{
    if (glCaps.es)
        glDepthRangef(nearZ, farZ);
    else
        glDepthRange(nearZ, farZ);
}

void GlStateTracker::setClearDepth(float depth)
{
    if (glCaps.es)
        glClearDepthf(depth);
    else
        glClearDepth(depth);
}

void GlStateTracker::setTexture(int unit, GLuint name)
{
    if (glCaps.directStateAccess) {
        glBindTextureUnit(static_cast<GLuint>(unit), name);
        return;
    }
    if (state.activeUnit != unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        state.activeUnit = unit;
    }
    glBindTexture(GL_TEXTURE_2D, name);
}

void GlStateTracker::enable(Cap cap, bool on)
{
    if (state.caps[cap] == on || !capOffered(cap)) return;
    state.caps[cap] = on;
    setCap(capEnum[cap], on);
    counted();
}

void GlStateTracker::depthFunc(GLenum func)
{
    if (state.depthFunc == func) return;
    state.depthFunc = func;
    glDepthFunc(func);
    counted();
}

void GlStateTracker::depthMask(bool on)
{
    if (state.depthMask == on) return;
    state.depthMask = on;
    glDepthMask(on ? GL_TRUE : GL_FALSE);
    counted();
}

void GlStateTracker::cullFace(GLenum face)
{
    if (state.cullFace == face) return;
    state.cullFace = face;
    glCullFace(face);
    counted();
}

void GlStateTracker::polygonMode(GLenum mode)
{
    if (state.polygonMode == mode || !glCaps.polygonMode) return;
    state.polygonMode = mode;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    counted();
}

void GlStateTracker::polygonOffset(float factor, float units)
{
    if (state.offsetFactor == factor && state.offsetUnits == units) return;
    state.offsetFactor = factor;
    state.offsetUnits = units;
    glPolygonOffset(factor, units);
    counted();
}

void GlStateTracker::pointSize(float size)
{
    if (state.pointSize == size || !glCaps.polygonMode) return;
    state.pointSize = size;
    glPointSize(size);
    counted();
}

void GlStateTracker::blendFunc(GLenum srcRgb, GLenum dstRgb, GLenum srcAlpha, GLenum dstAlpha)
{
    GLenum (&b)[4] = state.blend;
    if (b[0] == srcRgb && b[1] == dstRgb && b[2] == srcAlpha && b[3] == dstAlpha) return;
    b[0] = srcRgb;
    b[1] = dstRgb;
    b[2] = srcAlpha;
    b[3] = dstAlpha;
    glBlendFuncSeparate(srcRgb, dstRgb, srcAlpha, dstAlpha);
    counted();
}

void GlStateTracker::blendEquation(GLenum rgb, GLenum alpha)
{
    if (state.blendEquation[0] == rgb && state.blendEquation[1] == alpha) return;
    state.blendEquation[0] = rgb;
    state.blendEquation[1] = alpha;
    glBlendEquationSeparate(rgb, alpha);
    counted();
}

void GlStateTracker::blendColor(uint32_t argb)
{
    if (state.blendColor == argb) return;
    state.blendColor = argb;
    setBlendColor(argb);
    counted();
}

void GlStateTracker::colorMask(uint32_t rgbaBits)
{
    rgbaBits &= 0xF;
    if (state.colorMask == rgbaBits) return;
    state.colorMask = rgbaBits;
    setColorMask(rgbaBits);
    counted();
}

void GlStateTracker::stencilFunc(GLenum face, GLenum func, GLint ref, GLuint mask)
{
    StencilFace& s = state.stencil[faceIndex(face)];
    if (s.func == func && s.ref == ref && s.mask == mask) return;
    s.func = func;
    s.ref = ref;
    s.mask = mask;
    glStencilFuncSeparate(face, func, ref, mask);
    counted();
}

void GlStateTracker::stencilOp(GLenum face, GLenum fail, GLenum depthFail, GLenum pass)
{
    StencilFace& s = state.stencil[faceIndex(face)];
    if (s.fail == fail && s.depthFail == depthFail && s.pass == pass) return;
    s.fail = fail;
    s.depthFail = depthFail;
    s.pass = pass;
    glStencilOpSeparate(face, fail, depthFail, pass);
    counted();
}

void GlStateTracker::stencilWriteMask(GLenum face, GLuint mask)
{
    StencilFace& s = state.stencil[faceIndex(face)];
    if (s.writeMask == mask) return;
    s.writeMask = mask;
    glStencilMaskSeparate(face, mask);
    counted();
}

void GlStateTracker::viewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!changeRect(state.viewport, x, y, width, height)) return;
    glViewport(x, y, width, height);
    counted();
}

void GlStateTracker::depthRange(float nearZ, float farZ)
{
    if (state.depthRange[0] == nearZ && state.depthRange[1] == farZ) return;
    state.depthRange[0] = nearZ;
    state.depthRange[1] = farZ;
    setDepthRange(nearZ, farZ);
    counted();
}

void GlStateTracker::scissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    if (!changeRect(state.scissor, x, y, width, height)) return;
    glScissor(x, y, width, height);
    counted();
}

void GlStateTracker::clearColor(uint32_t argb)
{
    if (state.clearColor == argb) return;
    state.clearColor = argb;
    setClearColor(argb);
    counted();
}

void GlStateTracker::clearDepth(float depth)
{
    if (state.clearDepth == depth) return;
    state.clearDepth = depth;
    setClearDepth(depth);
    counted();
}

void GlStateTracker::clearStencil(GLint value)
{
    if (state.clearStencil == value) return;
    state.clearStencil = value;
    glClearStencil(value);
    counted();
}

void GlStateTracker::useProgram(GLuint name)
{
    if (state.program == name) return;
    state.program = name;
    glUseProgram(name);
    ++stats.programBinds;
    counted();
}

void GlStateTracker::bindVertexArray(GLuint name)
{
    if (state.vertexArray == name) return;
    state.vertexArray = name;
    glBindVertexArray(name);
    counted();
}

void GlStateTracker::bindTexture(int unit, GLuint name)
{
    if (state.textures[unit] == name) return;
    state.textures[unit] = name;
    setTexture(unit, name);
    counted();
}

void GlStateTracker::editTexture(GLuint name)
{
    bindTexture(editUnit, name);
}

void GlStateTracker::bindCopyWriteBuffer(GLuint name)
{
    if (state.copyWriteBuffer == name) return;
    state.copyWriteBuffer = name;
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    counted();
}

void GlStateTracker::bindArrayBuffer(GLuint name)
{
    if (state.arrayBuffer == name) return;
    state.arrayBuffer = name;
    glBindBuffer(GL_ARRAY_BUFFER, name);
    counted();
}

void GlStateTracker::bindSampler(int unit, GLuint name)
{
    if (state.samplers[unit] == name) return;
    state.samplers[unit] = name;
    glBindSampler(static_cast<GLuint>(unit), name);
    counted();
}

void GlStateTracker::bindUniformBuffer(int index, GLuint buffer, GLintptr offset, GLsizeiptr size)
{
    UniformRange& u = state.uniforms[index];
    if (u.buffer == buffer && u.offset == offset && u.size == size) return;
    u.buffer = buffer;
    u.offset = offset;
    u.size = size;
    glBindBufferRange(GL_UNIFORM_BUFFER, static_cast<GLuint>(index), buffer, offset, size);
    counted();
}

void GlStateTracker::bindDrawFramebuffer(GLuint name)
{
    if (state.drawFramebuffer == name) return;
    state.drawFramebuffer = name;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, name);
    counted();
}

void GlStateTracker::bindReadFramebuffer(GLuint name)
{
    if (state.readFramebuffer == name) return;
    state.readFramebuffer = name;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, name);
    counted();
}

void GlStateTracker::unpackRowLength(GLint pixels)
{
    if (state.unpackRowLength == pixels) return;
    state.unpackRowLength = pixels;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels);
    counted();
}

void GlStateTracker::forgetTexture(GLuint name)
{
    for (GLuint& t : state.textures)
        if (t == name) t = 0;
}

void GlStateTracker::forgetProgram(GLuint name)
{
    if (state.program == name) state.program = 0;
}

void GlStateTracker::forgetVertexArray(GLuint name)
{
    if (state.vertexArray == name) state.vertexArray = 0;
}

void GlStateTracker::forgetBuffer(GLuint name)
{
    for (UniformRange& u : state.uniforms)
        if (u.buffer == name) u = UniformRange{};
    if (state.copyWriteBuffer == name) state.copyWriteBuffer = 0;
    if (state.arrayBuffer == name) state.arrayBuffer = 0;
}

void GlStateTracker::forgetFramebuffer(GLuint name)
{
    if (state.drawFramebuffer == name) state.drawFramebuffer = 0;
    if (state.readFramebuffer == name) state.readFramebuffer = 0;
}
