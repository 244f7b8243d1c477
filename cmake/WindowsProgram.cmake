# The program as a Windows executable: its own code (app/, input/, scene/,
# text/, math/) compiled against the Windows SDK's windows.h, d3d9.h, d3dx9.h
# and dinput.h (MinGW-w64's) instead of platform/include and gfxutil/include,
# and linked against Direct3D 9, D3DX 9 (d3dx9_43.dll), DirectInput 8 and
# dxguid. Included by the top-level CMakeLists.txt when cross-compiling with
# cmake/MinGW-w64.cmake (make windows).
#
# The result is built, not run: on Linux the only D3DX shader compiler is
# Wine's (8.x), which rejects the program's shaders (tex2D in ps_2_0, dot in
# vs_1_1).

add_executable(tarnvale WIN32
  ${TARNVALE_math_SOURCES} ${TARNVALE_input_SOURCES} ${TARNVALE_scene_SOURCES}
  ${TARNVALE_text_SOURCES} ${TARNVALE_app_SOURCES})
target_include_directories(tarnvale PRIVATE ${PROJECT_SOURCE_DIR})
# Only the version that the d3dx9 import library names: d3dx9_43.dll.
target_link_libraries(tarnvale PRIVATE d3d9 d3dx9_43 dinput8 dxguid tarnvale_warnings)
# GCC's and the C++ run-time libraries linked in, so that the executable needs no MinGW DLL
# beside it: it imports Windows' own DLLs and the DirectX ones only.
target_link_options(tarnvale PRIVATE -static)
