// The web loop probe: a busy loop that draws a frame and yields, as the
// program's loop does, built three ways (bench/web-loop/run):
//   ASYNCIFY_RAF   the loop as written; it yields to the browser with
//                  Asyncify, resuming at the next animation frame
//   ASYNCIFY_TASK  the same, resuming at once in a new task (no waiting for
//                  the display)
//   MAIN_LOOP      the floor: the loop turned inside out, one frame per
//                  animation frame called by the browser (which the program
//                  itself cannot do without changing its loop)
// Each frame draws the same work as the demo's: sixteen draws of a
// 12672-vertex mesh with depth test, into a 1024 x 768 WebGL 2 canvas, and
// reports its own time to the page (window.probe). Built into DIR beside
// index.html, then measured with `node bench/web-loop/run.mjs DIR`:
//   flags="-O2 -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sENVIRONMENT=web"
//   emcc probe.c $flags -DASYNCIFY_RAF -sASYNCIFY -sASYNCIFY_IMPORTS=[yield_to_browser] -o DIR/raf.js
//   emcc probe.c $flags -DASYNCIFY_TASK -sASYNCIFY -sASYNCIFY_IMPORTS=[yield_to_browser] -o DIR/task.js
//   emcc probe.c $flags -DMAIN_LOOP -o DIR/mainloop.js
// (NODE_PATH=/usr/share/nodejs for Debian's emscripten.)
#include <GLES3/gl3.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include <math.h>
#include <stdlib.h>

#define VERTICES 12672

static GLuint program;
static int frames;

EM_JS(void, report, (int frame, double drawMs), {
    const probe = window.probe || (window.probe = {frames: 0, drawMs: [], stamps: []});
    probe.frames = frame;
    probe.drawMs.push(drawMs);
    probe.stamps.push(performance.now());
});

#if defined(ASYNCIFY_RAF) || defined(ASYNCIFY_TASK)
EM_JS(void, yield_to_browser, (void), {
    Asyncify.handleSleep(function(wakeUp) {
#ifdef ASYNCIFY_RAF
        requestAnimationFrame(function() { wakeUp(); });
#else
        const channel = new MessageChannel();
        channel.port1.onmessage = function() { wakeUp(); };
        channel.port2.postMessage(0);
#endif
    });
});
#endif

static GLuint compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, NULL);
    glCompileShader(shader);
    return shader;
}

static void setUp(void)
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.alpha = 0;
    attributes.antialias = 0;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#canvas", &attributes);
    emscripten_webgl_make_context_current(context);
    program = glCreateProgram();
    glAttachShader(program, compile(GL_VERTEX_SHADER,
        "#version 300 es\nlayout(location=0) in vec3 p; uniform mat4 m; out vec3 c;\n"
        "void main() { gl_Position = m * vec4(p, 1.0); c = p * 0.5 + 0.5; }\n"));
    glAttachShader(program, compile(GL_FRAGMENT_SHADER,
        "#version 300 es\nprecision mediump float; in vec3 c; out vec4 o; void main() { o = vec4(c, 1.0); }\n"));
    glLinkProgram(program);
    glUseProgram(program);
    float* mesh = malloc(sizeof(float) * 3 * VERTICES);
    for (int i = 0; i < VERTICES; ++i) {
        const float a = (float)i * 0.37f, b = (float)i * 0.011f;
        mesh[3 * i] = 0.08f * cosf(a) * sinf(b);
        mesh[3 * i + 1] = 0.08f * sinf(a) * sinf(b);
        mesh[3 * i + 2] = 0.5f + 0.08f * cosf(b);
    }
    GLuint buffer;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 3 * VERTICES, mesh, GL_STATIC_DRAW);
    free(mesh);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glViewport(0, 0, 1024, 768);
}

static void frame(void)
{
    const double start = emscripten_get_now();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLint where = glGetUniformLocation(program, "m");
    for (int i = 0; i < 16; ++i) {
        const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0,
                             -0.75f + 0.5f * (float)(i % 4), -0.75f + 0.5f * (float)(i / 4), 0, 1};
        glUniformMatrix4fv(where, 1, GL_FALSE, m);
        glDrawArrays(GL_TRIANGLES, 0, VERTICES);
    }
    ++frames;
    report(frames, emscripten_get_now() - start);
}

int main(void)
{
    setUp();
#ifdef MAIN_LOOP
    emscripten_set_main_loop(frame, 0, 1);
#else
    for (;;) {
        frame();
        yield_to_browser();
    }
#endif
    return 0;
}
