# The web build (make web, scripts/build-web): the program's own code, the
# platform layer and the D3DX stand-in compiled with emscripten into
# tarnvale.js and tarnvale.wasm, over the libraries scripts/build-web-deps
# builds from Debian's sources into TARNVALE_WEB_DEPS. The page (web/) and
# the program's data are put beside them in site/ of the build folder.

set(TARNVALE_WEB_DEPS "${CMAKE_SOURCE_DIR}/build-web/deps" CACHE PATH
    "Where scripts/build-web-deps installed the web build's libraries")

set(web_deps ${TARNVALE_WEB_DEPS})
foreach(library SDL2 png z glslang HLSL SPIRV MachineIndependent GenericCodeGen OSDependent OGLCompiler
                glslang-default-resource-limits spirv-cross-glsl spirv-cross-core)
  if(NOT EXISTS ${web_deps}/lib/lib${library}.a)
    message(FATAL_ERROR "${web_deps}/lib/lib${library}.a is missing: run scripts/build-web-deps first")
  endif()
endforeach()

add_library(tarnvale_web_options INTERFACE)
target_compile_options(tarnvale_web_options INTERFACE -Wall -Wextra -Wno-missing-field-initializers)
# emscripten's own SDL headers (an older SDL) come after ours.
target_include_directories(tarnvale_web_options SYSTEM INTERFACE ${web_deps}/include ${web_deps}/include/SDL2)

# ---- The layer in place of Windows -------------------------------------------------
file(GLOB web_platform_sources CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/dinput8/*.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/web/*.cpp)
# The Direct3D 9 layer on the page's WebGL 2, through its OpenGL ES 3.0 path
# (the hardware device); the reference device's software rasteriser and the
# presenters for X11 and Wayland are Linux's (platform/web/NoSoftwareDevice.cpp
# says so): a page has only its canvas.
file(GLOB web_d3d9_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/d3d9/*.cpp)
list(REMOVE_ITEM web_d3d9_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/d3d9/X11Presenter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/d3d9/WaylandPresenter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/d3d9/FramePresenter.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/d3d9/SoftwareContext.cpp)
add_library(tarnvale_platform STATIC ${web_platform_sources} ${web_d3d9_sources})
target_include_directories(tarnvale_platform
  PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/include
  PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform)
target_compile_definitions(tarnvale_platform PRIVATE TARNVALE_APP_ID="${TARNVALE_APP_ID}")
target_link_libraries(tarnvale_platform PUBLIC tarnvale_web_options
  ${web_deps}/lib/libSDL2.a ${web_deps}/lib/libspirv-cross-glsl.a ${web_deps}/lib/libspirv-cross-core.a)
# The Windows C run time's rand, as in the Linux build.
target_link_options(tarnvale_platform INTERFACE "LINKER:--wrap=rand" "LINKER:--wrap=srand")

# ---- D3DX stand-in: glslang in the page's own process ---------------------------------
file(GLOB web_gfxutil_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gfxutil/*.cpp)
list(REMOVE_ITEM web_gfxutil_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/gfxutil/GlslangServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gfxutil/GlslangWire.cpp)
add_library(tarnvale_gfxutil STATIC ${web_gfxutil_sources} ${CMAKE_CURRENT_SOURCE_DIR}/gfxutil/web/GlslangInProcess.cpp)
target_include_directories(tarnvale_gfxutil PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/gfxutil/include)
target_compile_definitions(tarnvale_gfxutil PRIVATE ENABLE_HLSL)
target_link_libraries(tarnvale_gfxutil PUBLIC tarnvale_platform)
foreach(library glslang-default-resource-limits SPIRV glslang HLSL MachineIndependent GenericCodeGen OSDependent
                OGLCompiler png z)
  target_link_libraries(tarnvale_gfxutil PUBLIC ${web_deps}/lib/lib${library}.a)
endforeach()

# ---- The program ------------------------------------------------------------------
add_executable(tarnvale
  ${TARNVALE_math_SOURCES} ${TARNVALE_input_SOURCES} ${TARNVALE_scene_SOURCES} ${TARNVALE_text_SOURCES}
  ${TARNVALE_app_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/web/main.cpp)
target_include_directories(tarnvale PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tarnvale PRIVATE tarnvale_gfxutil tarnvale_platform)
set(TARNVALE_WEB_LINK_OPTIONS
  -sUSE_SDL=0 -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sFORCE_FILESYSTEM=1
  "-sEXPORTED_RUNTIME_METHODS=[FS,addRunDependency,removeRunDependency]"
  # The loop yields in Sleep (platform/web/BrowserTurn.cpp). The stack
  # there is main, runProgram, Sleep: direct calls only, so Asyncify need
  # not instrument what indirect calls reach (the COM interfaces, glslang):
  # 2.58 MB of code instead of 4.09 MB (2.55 MB without Asyncify).
  -sASYNCIFY "-sASYNCIFY_IMPORTS=[tarnvale_wait_for_browser]" -sASYNCIFY_IGNORE_INDIRECT=1
  CACHE STRING "emscripten's link options for the web program")
target_link_options(tarnvale PRIVATE ${TARNVALE_WEB_LINK_OPTIONS})
set_target_properties(tarnvale PROPERTIES SUFFIX ".js")

# ---- The site ---------------------------------------------------------------------
# The page, the program and the files it reads at start-up, in site/, with
# files.json naming the data files the page fetches into the program's
# working folder before it starts.
set(TARNVALE_WEB_SITE "${CMAKE_BINARY_DIR}/site" CACHE PATH "Where the site is put")
set(site ${TARNVALE_WEB_SITE})
file(GLOB web_images CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/res/*.png)
set(web_shaders superellipsoid.vsh superellipsoid.psh textfont.vsh)
set(web_data_list "")
foreach(file ${web_images} ${web_shaders})
  list(APPEND web_data_list "\"${file}\"")
endforeach()
list(JOIN web_data_list ", " web_data_json)
file(GENERATE OUTPUT ${site}/files.json CONTENT "[${web_data_json}]\n")
list(TRANSFORM web_images PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
list(TRANSFORM web_shaders PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
set(web_page ${CMAKE_CURRENT_SOURCE_DIR}/web/index.html ${CMAKE_CURRENT_SOURCE_DIR}/web/page.js
     ${CMAKE_CURRENT_SOURCE_DIR}/web/page.css)
add_custom_target(site ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${site}/res
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tarnvale> $<TARGET_FILE_DIR:tarnvale>/tarnvale.wasm ${site}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${web_page} ${web_shaders} ${site}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/res/icons/32x32.png ${site}/favicon.png
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${web_images} ${site}/res/
  DEPENDS tarnvale ${web_page} ${web_images} ${web_shaders}
  COMMENT "The site: ${site}")
