# Installation and the Debian package.
#
#   <prefix>/bin/tarnvale, bin/tarnvale-capture   launchers (shell scripts)
#   <prefix>/libexec/tarnvale/                    the two programs
#   <prefix>/share/tarnvale/                      res/ and the three shader sources
#   <prefix>/share/doc/tarnvale/                  README
#
# The program reads res/ and its shader sources relative to its working
# folder, and nothing in it knows about installation. Each launcher changes to
# share/tarnvale and runs the real program from libexec/tarnvale; it finds
# both relative to its own location, so the tree works wherever it is put.
include(GNUInstallDirs)

set(TARNVALE_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tarnvale)
set(TARNVALE_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_LIBEXECDIR}/tarnvale)
set(TARNVALE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tarnvale)

# Paths from bin/ to the data and program folders, relative so that the
# installed tree can be moved.
file(RELATIVE_PATH TARNVALE_BIN_TO_DATA /root/${CMAKE_INSTALL_BINDIR} /root/${TARNVALE_INSTALL_DATADIR})
file(RELATIVE_PATH TARNVALE_BIN_TO_PROGRAM /root/${CMAKE_INSTALL_BINDIR} /root/${TARNVALE_INSTALL_PROGRAMDIR})

install(TARGETS tarnvale tarnvale-capture RUNTIME DESTINATION ${TARNVALE_INSTALL_PROGRAMDIR})

foreach(TARNVALE_LAUNCHED tarnvale tarnvale-capture)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnvale-launcher.sh.in
                 ${PROJECT_BINARY_DIR}/launchers/${TARNVALE_LAUNCHED} @ONLY)
  install(PROGRAMS ${PROJECT_BINARY_DIR}/launchers/${TARNVALE_LAUNCHED} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

file(GLOB TARNVALE_IMAGES ${PROJECT_SOURCE_DIR}/res/*.png)
install(FILES ${TARNVALE_IMAGES} DESTINATION ${TARNVALE_INSTALL_DATADIR}/res)
install(FILES ${PROJECT_SOURCE_DIR}/res/README.md DESTINATION ${TARNVALE_INSTALL_DOCDIR} RENAME images.md)
install(FILES ${PROJECT_SOURCE_DIR}/superellipsoid.vsh ${PROJECT_SOURCE_DIR}/superellipsoid.psh
              ${PROJECT_SOURCE_DIR}/textfont.vsh
        DESTINATION ${TARNVALE_INSTALL_DATADIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TARNVALE_INSTALL_DOCDIR})

# ---- Debian package (make package; cpack -G DEB) ------------------------------
# Packaging (and the package tests) takes what is built: neither the install
# target nor cpack starts a build of its own (make package builds first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvale)
set(CPACK_PACKAGE_VENDOR "Tarnvale")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3-D demo: a rack of pool balls under a text overlay")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnvale shows a rack of fifteen numbered pool balls and a cue ball, each a superellipsoid mesh\n"
    "painted with its own image and lit by HLSL shaders compiled at start-up, under a bitmap-font\n"
    "overlay with the frame rate. Dragging with the left mouse button turns the rack.\n"
    "It runs on OpenGL 4.5 (a GPU or Mesa's software rasteriser), in a window or headless\n"
    "(tarnvale-capture).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Tarnvale maintainers <maintainers@tarnvale.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link against (SDL2, libepoxy, libpng, the C++
# run time; an ASan build adds its run times) come from dpkg-shlibdeps. OpenGL
# and EGL are opened at run time by SDL and libepoxy, so shlibdeps cannot see
# them: the GL and EGL dispatch libraries and Mesa's drivers (llvmpipe where
# there is no GPU) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
include(CPack)

# ---- Tests of the installed tree and of the package --------------------------
if(TARNVALE_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${PROJECT_BINARY_DIR}/tests/packaging)
endif()
