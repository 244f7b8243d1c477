// The shader compiler where no second process can be started (a browser
// page): glslang runs in the caller's process, on the caller's thread.
// Used by the web build in place of GlslangServer.cpp and GlslangWire.cpp;
// the interface and the outcomes are the same, except that a source that
// crashes glslang takes the page's program down with it.
#include "../GlslangServer.h"

#include <tarnvale_d3dx.h>

void GlslangServer::start()
{
    // Builds glslang's tables of built-in functions now, as the server
    // would, so that the first compile does not pay for them.
    initialiseGlslang();
    warmUpGlslang();
}

void tvd3dx::startShaderCompiler()
{
    GlslangServer::start();
}

bool GlslangServer::compile(const GlslangJob& job, glslang::TShader::Includer& includer, GlslangOutput& output,
                            std::string& failure)
{
    failure.clear();
    output = runGlslang(job, includer);
    return true;
}
