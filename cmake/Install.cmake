# Installation and the Debian package.
#
#   <prefix>/bin/tarnvale, bin/tarnvale-capture   launchers (shell scripts)
#   <prefix>/libexec/tarnvale/                    the two programs
#   <prefix>/share/tarnvale/                      res/ and the three shader sources
#   <prefix>/share/doc/tarnvale/                  README, copyright, changelog.gz
#   <prefix>/share/man/man6/tarnvale.6.gz, man1/tarnvale-capture.1.gz
#   <prefix>/share/applications/<app id>.desktop  the desktop entry
#   <prefix>/share/icons/hicolor/<S>x<S>/apps/<app id>.png
#   <prefix>/share/metainfo/<app id>.metainfo.xml AppStream metadata
#
# The program reads res/ and its shader sources relative to its working
# folder, and nothing in it knows about installation. Each launcher changes to
# share/tarnvale and runs the real program from libexec/tarnvale; it finds
# both relative to its own location, so the tree works wherever it is put.
#
# The version comes from project(); data/changelog must begin with an entry
# for it, and that entry's date is the release date in the man pages and the
# AppStream metadata.
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

# ---- Release: the changelog's newest entry ------------------------------------
file(STRINGS ${PROJECT_SOURCE_DIR}/data/changelog TARNVALE_CHANGELOG_HEAD LIMIT_COUNT 1)
file(STRINGS ${PROJECT_SOURCE_DIR}/data/changelog TARNVALE_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
if(NOT TARNVALE_CHANGELOG_HEAD MATCHES "^tarnvale \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "data/changelog: its newest entry must be for ${PROJECT_VERSION}, the project's "
                      "version: add an entry for that version at the top")
endif()
if(NOT TARNVALE_CHANGELOG_TRAILER MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "data/changelog: the newest entry has no date line ' -- NAME <EMAIL>  Day, DD Mon YYYY hh:mm:ss +zzzz'")
endif()
set(TARNVALE_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND TARNVALE_MONTHS ${CMAKE_MATCH_2} TARNVALE_MONTH)
math(EXPR TARNVALE_MONTH "${TARNVALE_MONTH} + 1" OUTPUT_FORMAT DECIMAL)
string(LENGTH "${TARNVALE_MONTH}" TARNVALE_MONTH_DIGITS)
if(TARNVALE_MONTH_DIGITS EQUAL 1)
  set(TARNVALE_MONTH 0${TARNVALE_MONTH})
endif()
set(TARNVALE_RELEASE_DATE ${CMAKE_MATCH_3}-${TARNVALE_MONTH}-${CMAKE_MATCH_1})

# ---- Licence, changelog and manual pages --------------------------------------
# The copyright file (machine-readable, for Debian) carries LICENSE's
# permission notice as its Expat licence text.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE TARNVALE_LICENSE_BODY)
string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" TARNVALE_LICENSE_BODY "${TARNVALE_LICENSE_BODY}")
string(STRIP "${TARNVALE_LICENSE_BODY}" TARNVALE_LICENSE_BODY)
string(REPLACE "\n\n" "\n.\n" TARNVALE_LICENSE_BODY "${TARNVALE_LICENSE_BODY}")
string(REPLACE "\n" "\n " TARNVALE_LICENSE_BODY " ${TARNVALE_LICENSE_BODY}")
configure_file(${PROJECT_SOURCE_DIR}/data/copyright.in ${PROJECT_BINARY_DIR}/data/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/copyright DESTINATION ${TARNVALE_INSTALL_DOCDIR})

# Compressed as Debian wants them (gzip -9n: no name or time stamp inside, so
# the files are the same on every build).
set(TARNVALE_COMPRESSED)
function(tarnvale_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
  set(TARNVALE_COMPRESSED ${TARNVALE_COMPRESSED} ${output} PARENT_SCOPE)
endfunction()
tarnvale_gzip(${PROJECT_SOURCE_DIR}/data/changelog ${PROJECT_BINARY_DIR}/data/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/data/changelog.gz DESTINATION ${TARNVALE_INSTALL_DOCDIR})
foreach(page tarnvale.6 tarnvale-capture.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  tarnvale_gzip(${PROJECT_BINARY_DIR}/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz)
  string(REGEX REPLACE "^.*\\." "man" section ${page})
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/${section})
endforeach()
add_custom_target(tarnvale_compressed_docs ALL DEPENDS ${TARNVALE_COMPRESSED})

# ---- Desktop entry, icons, AppStream metadata ---------------------------------
# All named by the application id, which the platform layer also gives the
# window (X11 WM_CLASS, Wayland app id), so the desktop matches the running
# window to the entry and its icon.
configure_file(${PROJECT_SOURCE_DIR}/data/tarnvale.desktop.in
               ${PROJECT_BINARY_DIR}/data/${TARNVALE_APP_ID}.desktop @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/tarnvale.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/data/${TARNVALE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/data/${TARNVALE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_BINARY_DIR}/data/${TARNVALE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
file(GLOB TARNVALE_ICONS ${PROJECT_SOURCE_DIR}/res/icons/*x*.png)
foreach(icon ${TARNVALE_ICONS})
  get_filename_component(size ${icon} NAME_WE)
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps RENAME ${TARNVALE_APP_ID}.png)
endforeach()

# ---- Debian package (make package; cpack -G DEB) ------------------------------
# Packaging (and the package tests) takes what is built: neither the install
# target nor cpack starts a build of its own (make package builds first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvale)
set(CPACK_PACKAGE_VENDOR "Tarnvale")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3-D demo: a rack of pool balls under a text overlay")
# Lines of at most 72 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnvale shows a rack of fifteen numbered pool balls and a cue ball,\n"
    "each a superellipsoid mesh painted with its own image and lit by HLSL\n"
    "shaders compiled at start-up, under a bitmap-font overlay with the\n"
    "frame rate. Dragging with the left mouse button turns the rack.\n"
    "It runs on OpenGL 4.5 (a GPU or Mesa's software rasteriser), in a\n"
    "window or headless (tarnvale-capture).")
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
# them: the GL and EGL dispatch libraries, Mesa's EGL and Mesa's drivers
# (llvmpipe, the reference device) are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1, libegl-mesa0, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
include(CPack)

# ---- Tests of the installed tree and of the package --------------------------
if(TARNVALE_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/packaging ${PROJECT_BINARY_DIR}/tests/packaging)
endif()
