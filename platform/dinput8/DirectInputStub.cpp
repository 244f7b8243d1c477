// Placeholder until the SDL2-backed DirectInput 8 layer lands.
#include <dinput.h>

const DIDATAFORMAT c_dfDIKeyboard = {24, 16, 0, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {24, 16, DIDF_RELAXIS, 20, 0, nullptr};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD, REFIID, LPVOID* out, LPUNKNOWN)
{
    if (out) *out = nullptr;
    return E_FAIL;
}
