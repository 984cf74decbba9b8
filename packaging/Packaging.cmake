# What a user installs beyond the programs, and how CPack packs it: a .deb on Linux (documents,
# man pages, AppStream metainfo) and a zip for Windows. Every version number comes from
# project(VERSION); packaging/changelog must name the same one at its top, and gives the date.
include(GNUInstallDirs)

set(TESSELBOX_HOMEPAGE "https://github.com/tesselbox/tesselbox" CACHE STRING
    "The project's public home; the metainfo's screenshot is fetched from there")
set(TESSELBOX_MAINTAINER "Tesselbox developers <dev@tesselbox.invalid>")

file(STRINGS "${CMAKE_CURRENT_LIST_DIR}/changelog" changelog_lines)
list(GET changelog_lines 0 changelog_top)
if(NOT changelog_top MATCHES "^tesselbox \\(([^)]+)\\)" OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog starts with '${changelog_top}', but project(VERSION) "
                      "is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION} at its top")
endif()
# The date of the newest entry's signature line (" -- NAME <MAIL>  Mon, 07 Dec 2026 ...").
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months ${CMAKE_MATCH_2} month)
    break()
  endif()
endforeach()
if(NOT DEFINED month OR month LESS 0)
  message(FATAL_ERROR "packaging/changelog: no dated signature line under its newest entry")
endif()
math(EXPR month "${month} + 1")
string(LENGTH "${day}" day_digits)
if(day_digits EQUAL 1)
  set(day "0${day}")
endif()
if(month LESS 10)
  set(month "0${month}")
endif()
set(TESSELBOX_RELEASE_DATE "${year}-${month}-${day}")

set(CPACK_PACKAGE_NAME tesselbox)
set(CPACK_PACKAGE_VENDOR "the Tesselbox authors")
set(CPACK_PACKAGE_CONTACT "${TESSELBOX_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a picture into flat Minecraft block art")
set(CPACK_PACKAGE_HOMEPAGE_URL "${TESSELBOX_HOMEPAGE}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The zip: one folder holding the program, its color table and two texts Notepad can open.
  foreach(text README.txt LICENSE.txt)
    if(text STREQUAL README.txt)
      file(READ "${CMAKE_CURRENT_LIST_DIR}/windows/README.txt" content)
      string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" content "${content}")
    else()
      file(READ "${PROJECT_SOURCE_DIR}/LICENSE" content)
    endif()
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE "${PROJECT_BINARY_DIR}/packaging/${text}" "${content}")
  endforeach()
  install(TARGETS tesselbox RUNTIME DESTINATION .)
  install(FILES "${PROJECT_SOURCE_DIR}/Colors.txt" "${PROJECT_BINARY_DIR}/packaging/README.txt"
                "${PROJECT_BINARY_DIR}/packaging/LICENSE.txt" DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "tesselbox-${PROJECT_VERSION}-windows")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

if(NOT TESSELBOX_BUILD_QT)
  return()
endif()

# AppStream: the screenshot is the one in docs/, as published with the release's tag.
set(TESSELBOX_APPSTREAM_ID "io.github.tesselbox.tesselbox")
set(TESSELBOX_SCREENSHOT_URL
    "${TESSELBOX_HOMEPAGE}/raw/v${PROJECT_VERSION}/docs/screenshot-linux.png")
configure_file("${CMAKE_CURRENT_LIST_DIR}/tesselbox.metainfo.xml.in"
               "${PROJECT_BINARY_DIR}/packaging/${TESSELBOX_APPSTREAM_ID}.metainfo.xml" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/packaging/${TESSELBOX_APPSTREAM_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages, compressed as Debian keeps them: the window's is written, tesselbox-cli's made from
# its --help, so it cannot fall behind the options.
find_program(GZIP_PROGRAM gzip REQUIRED)
find_program(HELP2MAN_PROGRAM help2man)
set(man_pages "${PROJECT_BINARY_DIR}/packaging/tesselbox.1.gz")
add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/packaging/tesselbox.1.gz"
  COMMAND "${GZIP_PROGRAM}" -9n -c "${CMAKE_CURRENT_LIST_DIR}/tesselbox.1"
          > "${PROJECT_BINARY_DIR}/packaging/tesselbox.1.gz"
  DEPENDS "${CMAKE_CURRENT_LIST_DIR}/tesselbox.1" VERBATIM)
if(HELP2MAN_PROGRAM)
  list(APPEND man_pages "${PROJECT_BINARY_DIR}/packaging/tesselbox-cli.1.gz")
  add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/packaging/tesselbox-cli.1.gz"
    COMMAND "${HELP2MAN_PROGRAM}" --no-info --no-discard-stderr
            --name "turn pictures into Minecraft block art and .schematic files"
            --include "${CMAKE_CURRENT_LIST_DIR}/tesselbox-cli.h2m"
            --output "${PROJECT_BINARY_DIR}/packaging/tesselbox-cli.1" $<TARGET_FILE:tesselbox-cli>
    COMMAND "${GZIP_PROGRAM}" -9nf "${PROJECT_BINARY_DIR}/packaging/tesselbox-cli.1"
    DEPENDS tesselbox-cli "${CMAKE_CURRENT_LIST_DIR}/tesselbox-cli.h2m" VERBATIM)
else()
  message(STATUS "help2man not found: tesselbox-cli gets no man page")
endif()
add_custom_target(tesselbox_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian's documents of a native package: the licence as copyright, and the changelog.
add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
  COMMAND "${GZIP_PROGRAM}" -9n -c "${CMAKE_CURRENT_LIST_DIR}/changelog"
          > "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
  DEPENDS "${CMAKE_CURRENT_LIST_DIR}/changelog" VERBATIM)
add_custom_target(tesselbox_changelog ALL DEPENDS "${PROJECT_BINARY_DIR}/packaging/changelog.gz")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/copyright" "${PROJECT_BINARY_DIR}/packaging/changelog.gz"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tesselbox)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed with DESTDIR, so the desktop entry names the real /usr/share/tesselbox.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tesselbox matches every opaque pixel of a picture to the block of the nearest
color in a block color table, shows the picture and its block form side by
side, and writes an MCEdit-style .schematic file one block high.
.
The package holds the window (tesselbox) and a command-line tool
(tesselbox-cli) that converts many pictures at a time and lists the blocks
each one needs.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: Qt's X11 platform plugin to open a window at all, Qt's own Chinese texts for
# its dialogs, and a font that has the window's Chinese characters.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
