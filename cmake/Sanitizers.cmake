# TARNVALE_SANITIZE: every target of the build compiled and linked with
# AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer.
# Used by the "asan" preset (CMakePresets.json) and `make test-asan`; the
# options the test run needs (halt on the first error, the leak suppressions)
# are set in the preset's test environment.
#
# Include this file after project() and before the first target.
option(TARNVALE_SANITIZE "Build with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer" OFF)

if(NOT TARNVALE_SANITIZE)
  return()
endif()

if(TARNVALE_FUZZ)
  message(FATAL_ERROR "TARNVALE_SANITIZE and TARNVALE_FUZZ are separate builds; the fuzz build sets its own sanitizers.")
endif()

add_compile_options(
  -fsanitize=address,undefined
  -fno-omit-frame-pointer
  # An undefined-behaviour finding stops the program, like an ASan one, so a
  # test cannot pass over it.
  -fno-sanitize-recover=undefined
  # glslang is built without RTTI: the vptr check would need the type
  # information of the glslang classes that the shader compiler uses and
  # derives from, which does not exist (the link fails). Only the target that
  # includes glslang's headers goes without that one check.
  "$<$<STREQUAL:$<TARGET_PROPERTY:NAME>,tarnvale_gfxutil>:-fno-sanitize=vptr>")
add_link_options(-fsanitize=address,undefined)

# Mesa's EGL/GLX vendor libraries, its DRI driver and LLVM are loaded with
# dlopen when the first GL context is made, and unloaded again when SDL shuts
# its video subsystem down, before LeakSanitizer looks at the heap at exit.
# Whatever those libraries still held in their globals then shows up as leaks
# from "<unknown module>", which no suppression can name. Every executable of
# this build therefore carries a dlclose that keeps libraries loaded (see
# tests/sanitizers/keep_libraries_loaded.c): their globals stay roots of the
# leak check, as those of linked libraries always are, and any report that
# involves them names the library.
function(_tarnvale_sanitizer_executables directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/sanitizers/keep_libraries_loaded.c)
      # The definition must be in the dynamic symbol table to take the place
      # of the C library's for the libraries that call dlclose.
      target_link_options(${target} PRIVATE -Wl,--export-dynamic-symbol=dlclose)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    _tarnvale_sanitizer_executables(${subdirectory})
  endforeach()
endfunction()

function(_tarnvale_sanitizer_finish)
  _tarnvale_sanitizer_executables(${PROJECT_SOURCE_DIR})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _tarnvale_sanitizer_finish)
