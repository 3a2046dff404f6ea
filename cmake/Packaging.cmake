# What makes Flintly a citizen of the desktop once installed, and the Debian package
# that carries it (`make package`): the desktop entry, AppStream metadata for software
# centres, icons in the hicolor theme, the manual page. Everything installs below the
# prefix as the other install rules do; the package puts that prefix at /usr.

set(FLINTLY_SCREENSHOTS_URL "" CACHE STRING
  "Web address where resources/screenshots are published; empty leaves screenshots out of the AppStream metadata")

set(_desktop_share ${CMAKE_BINARY_DIR}/share)
set(_icon_svg ${CMAKE_SOURCE_DIR}/resources/images/flintly.svg)
set(_symbolic_svg ${CMAKE_SOURCE_DIR}/resources/images/flintly-symbolic.svg)
set(_desktop_outputs)

# The desktop entry and the icons, scalable and symbolic as drawn.
install(FILES ${CMAKE_SOURCE_DIR}/resources/org.flintly.Flintly.desktop DESTINATION share/applications)
install(FILES ${_icon_svg} DESTINATION share/icons/hicolor/scalable/apps RENAME org.flintly.Flintly.svg)
install(FILES ${_symbolic_svg} DESTINATION share/icons/hicolor/symbolic/apps RENAME org.flintly.Flintly-symbolic.svg)

# Bitmaps at the sizes desktops ask for, rendered from the drawing when building.
find_program(FLINTLY_RSVG_CONVERT rsvg-convert)
if(FLINTLY_RSVG_CONVERT)
  foreach(size 16 24 32 48 64 128 256 512)
    set(_png ${_desktop_share}/icons/hicolor/${size}x${size}/apps/org.flintly.Flintly.png)
    add_custom_command(OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_desktop_share}/icons/hicolor/${size}x${size}/apps
      COMMAND ${FLINTLY_RSVG_CONVERT} --width ${size} --height ${size} --format png --output ${_png} ${_icon_svg}
      DEPENDS ${_icon_svg}
      COMMENT "Rendering the ${size} px icon"
      VERBATIM)
    list(APPEND _desktop_outputs ${_png})
    install(FILES ${_png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert not found (librsvg2-bin): the icon is installed as a drawing only")
endif()

# The manual page, dated and versioned like the release, compressed as Debian keeps them.
execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%cs
  OUTPUT_VARIABLE FLINTLY_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT FLINTLY_RELEASE_DATE MATCHES "^[0-9]+-[0-9]+-[0-9]+$")
  string(TIMESTAMP FLINTLY_RELEASE_DATE "%Y-%m-%d" UTC)
endif()
set(FLINTLY_MAN_DATE ${FLINTLY_RELEASE_DATE})
configure_file(${CMAKE_SOURCE_DIR}/resources/flintly.1.in ${CMAKE_BINARY_DIR}/man/flintly.1 @ONLY)
set(_man_gz ${_desktop_share}/man/man1/flintly.1.gz)
add_custom_command(OUTPUT ${_man_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_desktop_share}/man/man1
  COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" ${CMAKE_BINARY_DIR}/man/flintly.1 ${_man_gz}
  DEPENDS ${CMAKE_BINARY_DIR}/man/flintly.1
  VERBATIM)
list(APPEND _desktop_outputs ${_man_gz})
install(FILES ${_man_gz} DESTINATION share/man/man1)

# AppStream metadata. The screenshots are listed only where they are published.
if(FLINTLY_ANALYTICS_TOKEN)
  set(_sends_usage ON)
else()
  set(_sends_usage OFF)
endif()
if(FLINTLY_FEED_URL)
  set(_checks_updates ON)
else()
  set(_checks_updates OFF)
endif()
set(_metainfo ${_desktop_share}/metainfo/org.flintly.Flintly.metainfo.xml)
set(FLINTLY_METAINFO_ARGS
  -DTEMPLATE=${CMAKE_SOURCE_DIR}/resources/org.flintly.Flintly.metainfo.xml.in
  -DVERSION=${PROJECT_VERSION} -DDATE=${FLINTLY_RELEASE_DATE}
  -DDEVELOPER_NAME=${FLINTLY_DEVELOPER_NAME} -DDEVELOPER_EMAIL=${FLINTLY_DEVELOPER_EMAIL}
  -DDEVELOPER_URL=${FLINTLY_DEVELOPER_URL}
  -DSENDS_USAGE=${_sends_usage} -DCHECKS_UPDATES=${_checks_updates})
add_custom_command(OUTPUT ${_metainfo}
  COMMAND ${CMAKE_COMMAND} ${FLINTLY_METAINFO_ARGS} -DSCREENSHOTS_URL=${FLINTLY_SCREENSHOTS_URL} -DOUTPUT=${_metainfo}
    -P ${CMAKE_SOURCE_DIR}/cmake/WriteMetainfo.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/org.flintly.Flintly.metainfo.xml.in ${CMAKE_SOURCE_DIR}/cmake/WriteMetainfo.cmake
    ${CMAKE_BINARY_DIR}/CMakeCache.txt
  VERBATIM)
list(APPEND _desktop_outputs ${_metainfo})
install(FILES ${_metainfo} DESTINATION share/metainfo)

add_custom_target(desktop_files ALL DEPENDS ${_desktop_outputs})

# The Debian package. Its dependencies are the packages of the libraries the binary
# links (dpkg-shlibdeps), and what it needs at run time that no link shows: Qt
# WebEngine's helper process, which renders the editor, and a font for its text.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flintly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "floating Markdown note, one keystroke away")
set(CPACK_PACKAGE_DESCRIPTION
  "Flintly keeps one small note window above the other windows and shows or hides it\n"
  "with a global hotkey. What you type is saved by itself as a plain Markdown file in a\n"
  "folder you chose, named after its first line. Quick open finds notes by name,\n"
  "templates insert ready-made Markdown, and Markdown files open with Flintly from the\n"
  "file manager.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcurl is loaded when first used (updates, uploads), so no link names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libcurl4, fonts-dejavu-core | fonts-noto-core | fonts-liberation2")
# Opening links and folders, the session bus (tray, file manager, portals), secure
# update checks.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, dbus-user-session | dbus-x11, ca-certificates")
# Who answers for the package: the build's own contact, never one made up here.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FLINTLY_DEVELOPER_NAME}")
if(FLINTLY_DEVELOPER_EMAIL)
  string(APPEND CPACK_DEBIAN_PACKAGE_MAINTAINER " <${FLINTLY_DEVELOPER_EMAIL}>")
endif()
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Flintly")
endif()
if(FLINTLY_DEVELOPER_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${FLINTLY_DEVELOPER_URL})
endif()
include(CPack)
