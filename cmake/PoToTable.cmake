# cmake -DPO=<file.po> -DOUT=<file.inc> -P PoToTable.cmake
#
# Turns a catalogue's single-line entries into C++ initialisers, one
# {"english", "translation"} a line, for the programs built without libintl.
# The header entry (empty msgid) and untranslated entries are left out; the
# texts keep the catalogue's C escapes.
file(STRINGS "${PO}" lines ENCODING UTF-8)
set(table "// Generated from ${PO} at build time; edit the catalogue instead.\n")
set(id "")
foreach(line IN LISTS lines)
  if(line MATCHES "^msgid \"(.*)\"$")
    set(id "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^msgstr \"(.*)\"$")
    if(NOT id STREQUAL "" AND NOT CMAKE_MATCH_1 STREQUAL "")
      string(APPEND table "{\"${id}\", \"${CMAKE_MATCH_1}\"},\n")
    endif()
    set(id "")
  endif()
endforeach()
# Written only when changed, so that an unchanged catalogue rebuilds nothing.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL table)
  file(WRITE "${OUT}" "${table}")
endif()
