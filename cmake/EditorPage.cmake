# The editor page (web/editor): an npm/esbuild build that leaves
#   ${CMAKE_BINARY_DIR}/share/flintly/dist/index.html   (+ assets/editor.js, assets/editor.css,
#   and assets/languages.js, the grammars the page loads after its first paint)
# where the app finds it relative to bin/flintly, and installs it to share/flintly/dist.
#
# Dependencies are not installed here: scripts/install-deps.sh runs `npm ci` in
# web/editor whenever package.json or package-lock.json change.
#
# Provides: target `editor_page` (part of ALL) and FLINTLY_EDITOR_PAGE_DIR (the built
# folder), for targets and tests that need the page to exist.

if(DEFINED FLINTLY_GUI AND NOT FLINTLY_GUI)
  return()
endif()

set(FLINTLY_EDITOR_PAGE_SOURCE_DIR ${CMAKE_SOURCE_DIR}/web/editor)
set(FLINTLY_EDITOR_PAGE_DIR ${CMAKE_BINARY_DIR}/share/flintly/dist)

find_program(FLINTLY_NODE_EXECUTABLE NAMES node nodejs)
if(NOT FLINTLY_NODE_EXECUTABLE)
  message(WARNING "Node.js not found: the editor page will not be built (run scripts/install-deps.sh)")
  return()
endif()

file(GLOB_RECURSE _flintly_editor_sources CONFIGURE_DEPENDS
  ${FLINTLY_EDITOR_PAGE_SOURCE_DIR}/src/*)

add_custom_command(
  OUTPUT
    ${FLINTLY_EDITOR_PAGE_DIR}/index.html
    ${FLINTLY_EDITOR_PAGE_DIR}/assets/editor.js
    ${FLINTLY_EDITOR_PAGE_DIR}/assets/editor.css
    ${FLINTLY_EDITOR_PAGE_DIR}/assets/languages.js
  COMMAND ${FLINTLY_NODE_EXECUTABLE} scripts/build.mjs --outdir ${FLINTLY_EDITOR_PAGE_DIR}
  DEPENDS
    ${_flintly_editor_sources}
    ${FLINTLY_EDITOR_PAGE_SOURCE_DIR}/package.json
    ${FLINTLY_EDITOR_PAGE_SOURCE_DIR}/package-lock.json
    ${FLINTLY_EDITOR_PAGE_SOURCE_DIR}/scripts/build.mjs
  WORKING_DIRECTORY ${FLINTLY_EDITOR_PAGE_SOURCE_DIR}
  COMMENT "Building the editor page"
  VERBATIM)

add_custom_target(editor_page ALL DEPENDS ${FLINTLY_EDITOR_PAGE_DIR}/index.html)

install(DIRECTORY ${FLINTLY_EDITOR_PAGE_DIR}/ DESTINATION share/flintly/dist)
