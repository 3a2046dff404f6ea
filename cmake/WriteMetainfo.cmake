# Writes the AppStream metadata from its template: `cmake -D... -P WriteMetainfo.cmake`.
# The build runs it, and so does the package test, with and without a screenshot address.
#
#   TEMPLATE, OUTPUT       the .metainfo.xml.in and the file to write
#   VERSION, DATE          the release (DATE as YYYY-MM-DD)
#   DEVELOPER_NAME, DEVELOPER_EMAIL, DEVELOPER_URL   who answers for the build; each optional
#   SCREENSHOTS_URL        where resources/screenshots are published; empty leaves them out
#   SENDS_USAGE, CHECKS_UPDATES   what the build talks to over the network (ON/OFF)

function(_flintly_xml out text)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(FLINTLY_METAINFO_VERSION "${VERSION}")
set(FLINTLY_METAINFO_DATE "${DATE}")

set(FLINTLY_METAINFO_DEVELOPER "")
if(DEVELOPER_NAME)
  _flintly_xml(name "${DEVELOPER_NAME}")
  string(APPEND FLINTLY_METAINFO_DEVELOPER "  <developer_name>${name}</developer_name>\n")
endif()
if(DEVELOPER_URL)
  _flintly_xml(url "${DEVELOPER_URL}")
  string(APPEND FLINTLY_METAINFO_DEVELOPER "  <url type=\"homepage\">${url}</url>\n")
endif()
if(DEVELOPER_EMAIL)
  _flintly_xml(email "${DEVELOPER_EMAIL}")
  string(APPEND FLINTLY_METAINFO_DEVELOPER "  <update_contact>${email}</update_contact>\n")
endif()

# Open Age Ratings: the only thing Flintly can share is what the build turns on. Usage
# analytics send the notes folder's paths with an identity of the install; an update
# check asks a server for the newest version.
set(sharing "")
if(SENDS_USAGE)
  set(sharing intense)
elseif(CHECKS_UPDATES)
  set(sharing mild)
endif()
if(sharing)
  set(FLINTLY_METAINFO_CONTENT_RATING "  <content_rating type=\"oars-1.1\">\n"
    "    <content_attribute id=\"social-info\">${sharing}</content_attribute>\n  </content_rating>\n")
  string(REPLACE ";" "" FLINTLY_METAINFO_CONTENT_RATING "${FLINTLY_METAINFO_CONTENT_RATING}")
else()
  set(FLINTLY_METAINFO_CONTENT_RATING "  <content_rating type=\"oars-1.1\"/>\n")
endif()

# The screenshots scripts/screenshots.py takes, with their captions; the first is the
# one software centres show first.
set(SCREENSHOTS
  "note.png|A note in the floating window, saved as you type"
  "quick-open.png|Quick open finds a note by its name as you type")

set(FLINTLY_METAINFO_SCREENSHOTS "")
if(SCREENSHOTS_URL)
  string(REGEX REPLACE "/+$" "" base "${SCREENSHOTS_URL}")
  set(kind " type=\"default\"")
  string(APPEND FLINTLY_METAINFO_SCREENSHOTS "  <screenshots>\n")
  foreach(shot IN LISTS SCREENSHOTS)
    string(REPLACE "|" ";" fields "${shot}")
    list(GET fields 0 file)
    list(GET fields 1 caption)
    _flintly_xml(caption "${caption}")
    _flintly_xml(image "${base}/${file}")
    string(APPEND FLINTLY_METAINFO_SCREENSHOTS
      "    <screenshot${kind}>\n      <caption>${caption}</caption>\n      <image>${image}</image>\n    </screenshot>\n")
    set(kind "")
  endforeach()
  string(APPEND FLINTLY_METAINFO_SCREENSHOTS "  </screenshots>\n")
endif()

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
