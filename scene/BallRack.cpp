#include "scene/BallRack.h"

#include "app/DragRotation.h"
#include "math/AxisAngle.h"
#include "math/Vector3.h"
#include "scene/Ball.h"

#include <d3dx9.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// One stream of BallVertex records: position, normal, texture coordinates.
const D3DVERTEXELEMENT9 ballVertexElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

const char* const vertexShaderFile = "superellipsoid.vsh";
const char* const pixelShaderFile = "superellipsoid.psh";

struct RackPlace {
    const char* imageFile;
    float x;
    float y;
};

// The rack, in creation and drawing order: rows of five, four, three, two
// and one ball, apex down, then the cue ball below. Ball 1 stands 5 units
// higher than the rest of its row.
const RackPlace rackLayout[] = {
    {"res\\1-ball.png", -400.0f, 355.0f},  {"res\\2-ball.png", -200.0f, 350.0f},
    {"res\\3-ball.png", 0.0f, 350.0f},     {"res\\4-ball.png", 200.0f, 350.0f},
    {"res\\5-ball.png", 400.0f, 350.0f},   {"res\\6-ball.png", -300.0f, 175.0f},
    {"res\\7-ball.png", -100.0f, 175.0f},  {"res\\8-ball.png", 100.0f, 175.0f},
    {"res\\9-ball.png", 300.0f, 175.0f},   {"res\\10-ball.png", -200.0f, 0.0f},
    {"res\\11-ball.png", 0.0f, 0.0f},      {"res\\12-ball.png", 200.0f, 0.0f},
    {"res\\13-ball.png", -100.0f, -175.0f}, {"res\\14-ball.png", 100.0f, -175.0f},
    {"res\\15-ball.png", 0.0f, -350.0f},   {"res\\cueball.png", 0.0f, -600.0f},
};
constexpr int rackSize = static_cast<int>(sizeof(rackLayout) / sizeof(rackLayout[0]));

// The light vector of the ball shaders (c12). Its w is unused by them.
const float lightVector[4] = {1.0f, 1.0f, -0.6f, 0.0f};

constexpr float degreesToRadians = 0.017453292f;

// The message names the file first, once: the compiler's own messages
// already start with it.
void reportShaderError(const char* file, const std::string& message)
{
    const std::string name(file);
    const std::string text = message.compare(0, name.size(), name) == 0 ? message : name + ": " + message;
    MessageBoxA(NULL, text.c_str(), "Error", MB_OK);
}

// The compiler's message, without trailing terminators and line breaks.
std::string bufferText(ID3DXBuffer* buffer)
{
    if (!buffer || !buffer->GetBufferPointer()) return std::string();
    std::string text(static_cast<const char*>(buffer->GetBufferPointer()), buffer->GetBufferSize());
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// Compiles one shader source file. On failure the user is told which file
// and why, and null is returned.
ID3DXBuffer* compileShaderFile(const char* file, const char* profile)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT result = D3DXCompileShaderFromFileA(file, NULL, NULL, "main", profile, 0, &code, &errors, NULL);
    if (FAILED(result) || !code) {
        std::string message = bufferText(errors);
        if (message.empty()) message = "the shader could not be compiled";
        reportShaderError(file, message);
        if (code) code->Release();
        code = nullptr;
    }
    if (errors) errors->Release();
    return code;
}

}  // namespace

BallRack::BallRack(IDirect3DDevice9*& device)
    : device(device), vertexDeclaration(nullptr), vertexShader(nullptr), pixelShader(nullptr)
{
    createShaders();

    // The orientations differ from run to run: the seed is the counter's
    // low 32 bits.
    LARGE_INTEGER counter;
    counter.QuadPart = 0;
    QueryPerformanceCounter(&counter);
    srand(static_cast<unsigned int>(counter.LowPart));

    Ball* created[rackSize];
    for (int i = 0; i < rackSize; ++i) {
        Ball* ball = new Ball(this->device, rackLayout[i].imageFile, 100.0f, 1.0f, 1.0f, 64);
        const int r1 = rand() % 100;
        const int r2 = rand() % 100;
        const int r3 = rand() % 100;
        // The first number drawn goes to z, the last to x. AxisAngle divides
        // the angle by the axis length along with the axis.
        const Vector3 axis(0.1f * static_cast<float>(r3), 0.1f * static_cast<float>(r2),
                           0.1f * static_cast<float>(r1));
        const AxisAngle rotation(axis, 45.0f);
        ball->setRotation(rotation);
        ball->translate(Vector3(rackLayout[i].x, rackLayout[i].y, 0.0f));
        created[i] = ball;
    }
    balls.reserve(rackSize);
    for (Ball* ball : created) balls.push_back(ball);
}

BallRack::~BallRack()
{
    for (Ball*& ball : balls) {
        delete ball;
        ball = nullptr;
    }
    if (pixelShader) {
        pixelShader->Release();
        pixelShader = nullptr;
    }
    if (vertexShader) {
        vertexShader->Release();
        vertexShader = nullptr;
    }
    if (vertexDeclaration) {
        vertexDeclaration->Release();
        vertexDeclaration = nullptr;
    }
}

bool BallRack::isReady() const
{
    return vertexDeclaration && vertexShader && pixelShader;
}

void BallRack::createShaders()
{
    if (!device) return;  // nothing can be made; the rack stays not ready
    if (FAILED(device->CreateVertexDeclaration(ballVertexElements, &vertexDeclaration)) || !vertexDeclaration) {
        vertexDeclaration = nullptr;
        MessageBoxA(NULL, "The ball vertex declaration could not be created.", "Error", MB_OK);
    }

    ID3DXBuffer* vertexCode = compileShaderFile(vertexShaderFile, "vs_2_0");
    ID3DXBuffer* pixelCode = compileShaderFile(pixelShaderFile, "ps_2_0");

    if (vertexCode &&
        (FAILED(device->CreateVertexShader(static_cast<const DWORD*>(vertexCode->GetBufferPointer()),
                                           &vertexShader)) ||
         !vertexShader)) {
        vertexShader = nullptr;
        reportShaderError(vertexShaderFile, "the device did not accept the compiled vertex shader");
    }
    if (pixelCode &&
        (FAILED(device->CreatePixelShader(static_cast<const DWORD*>(pixelCode->GetBufferPointer()),
                                          &pixelShader)) ||
         !pixelShader)) {
        pixelShader = nullptr;
        reportShaderError(pixelShaderFile, "the device did not accept the compiled pixel shader");
    }

    if (vertexCode) vertexCode->Release();
    if (pixelCode) pixelCode->Release();
}

void BallRack::draw()
{
    // A rack without its shaders has told the user and is not drawn.
    if (!isReady()) return;

    device->SetVertexShaderConstantF(12, lightVector, 1);

    view.lookAt(Vector3(0.0f, 0.0f, -1500.0f), Vector3(0.0f, 0.0f, 0.0f), Vector3(0.0f, 1.0f, 0.0f));
    // The field of view 45 is taken as radians (about 58.3 degrees
    // vertically), which is what frames the rack.
    projection.perspectiveFov(45.0f, 1.3333334f, 500.0f, 2500.0f);

    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);

    device->SetVertexDeclaration(vertexDeclaration);
    device->SetVertexShader(vertexShader);
    device->SetPixelShader(pixelShader);

    for (Ball* ball : balls) {
        // A ball without a mesh has nothing to draw.
        if (!ball->vertexBuffer() || ball->triangleCount() <= 0) continue;
        objectMatrix = ball->world();
        setBallConstants();
        device->SetTexture(0, ball->texture());
        device->SetStreamSource(0, ball->vertexBuffer(), 0, ball->vertexStride());
        device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(ball->triangleCount()));
    }
}

void BallRack::setBallConstants()
{
    // The drag's pixel counts are taken as degrees. The rack turns about the
    // world origin: first about x by the vertical drag, then about y by the
    // horizontal drag.
    const float pitch = static_cast<float>(dragRotation.pitchDegrees) * degreesToRadians;
    const float yaw = static_cast<float>(dragRotation.yawDegrees) * degreesToRadians;
    Matrix4 rotateX;
    rotateX.rotationX(pitch);
    Matrix4 rotateY;
    rotateY.rotationY(yaw);
    objectMatrix *= rotateX * rotateY;

    // Registers hold matrix columns: each matrix is loaded transposed.
    Matrix4 worldView = objectMatrix * view;
    Matrix4 worldViewProjection = worldView * projection;
    worldView.transpose();
    worldViewProjection.transpose();
    device->SetVertexShaderConstantF(0, worldView.data(), 4);
    device->SetVertexShaderConstantF(4, worldView.data(), 4);
    device->SetVertexShaderConstantF(8, worldViewProjection.data(), 4);
}
