# The extensions the program opens, read from the format table
# (convert/SourceFormats.cpp), so that every list made from them says what the
# program does: the man pages', the desktop entry's and the AppStream
# metadata's media types, and the Windows installer's "Open with" entries.
# Writes them, one extension a line with its media types, to
# generated/formats.txt, which the tests compare with the table the program
# runs on.
file(STRINGS ${CMAKE_SOURCE_DIR}/convert/SourceFormats.cpp table_lines
     REGEX "^constexpr std::string_view [A-Za-z]+Extensions\\[\\] = ")
set(FRAMELOT_EXTENSIONS)
foreach(line IN LISTS table_lines)
  string(REGEX MATCHALL "\"\\.[a-z0-9]+\"" quoted "${line}")
  foreach(item IN LISTS quoted)
    string(REPLACE "\"" "" extension "${item}")
    list(APPEND FRAMELOT_EXTENSIONS ${extension})
  endforeach()
endforeach()

# Media types by extension, as shared-mime-info names them (APNG also by its
# older name, which some file managers still give).
set(FRAMELOT_TYPES_.gif image/gif)
set(FRAMELOT_TYPES_.png image/png)
set(FRAMELOT_TYPES_.apng image/apng image/vnd.mozilla.apng)
set(FRAMELOT_TYPES_.webp image/webp)
set(FRAMELOT_TYPES_.avif image/avif)
set(FRAMELOT_TYPES_.avifs image/avif)
set(FRAMELOT_TYPES_.jxl image/jxl)

set(FRAMELOT_MEDIA_TYPES)
set(formats_text "")
set(man_items)
foreach(extension IN LISTS FRAMELOT_EXTENSIONS)
  if(NOT DEFINED FRAMELOT_TYPES_${extension})
    message(FATAL_ERROR "cmake/Formats.cmake: the format table has ${extension}; give it its media types here")
  endif()
  list(APPEND FRAMELOT_MEDIA_TYPES ${FRAMELOT_TYPES_${extension}})
  list(JOIN FRAMELOT_TYPES_${extension} " " types)
  string(APPEND formats_text "${extension} ${types}\n")
  list(APPEND man_items "\\fB${extension}\\fR")
endforeach()
list(REMOVE_DUPLICATES FRAMELOT_MEDIA_TYPES)
if(NOT FRAMELOT_EXTENSIONS)
  message(FATAL_ERROR "cmake/Formats.cmake: no extension found in convert/SourceFormats.cpp")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/generated/formats.txt "${formats_text}")

# "\fB.gif\fR, \fB.png\fR, ... and \fB.jxl\fR" for the man pages.
list(POP_BACK man_items man_last)
list(JOIN man_items ", " FRAMELOT_MAN_EXTENSIONS)
set(FRAMELOT_MAN_EXTENSIONS "${FRAMELOT_MAN_EXTENSIONS} and ${man_last}")
# "image/gif;image/png;...;" for the desktop entry, and the AppStream lines.
list(JOIN FRAMELOT_MEDIA_TYPES ";" FRAMELOT_DESKTOP_MEDIA_TYPES)
set(FRAMELOT_DESKTOP_MEDIA_TYPES "${FRAMELOT_DESKTOP_MEDIA_TYPES};")
set(FRAMELOT_APPSTREAM_MEDIA_TYPES "")
foreach(type IN LISTS FRAMELOT_MEDIA_TYPES)
  string(APPEND FRAMELOT_APPSTREAM_MEDIA_TYPES "    <mediatype>${type}</mediatype>\n")
endforeach()
string(STRIP "${FRAMELOT_APPSTREAM_MEDIA_TYPES}" FRAMELOT_APPSTREAM_MEDIA_TYPES)
