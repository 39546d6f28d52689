# The licences of the libraries linked into the programs statically, as
# scripts/deps.sh leaves them: one folder a library under
# PREFIX/share/licenses, holding the licence files of its source archive.
#
# FramelotDebianCopyright(BASE PREFIX OUT) writes OUT: the Debian copyright
# file BASE followed by one Files paragraph a library, its licence text in
# full under a short name of its own (an empty PREFIX writes BASE alone).
# FramelotLicenceText(PREFIX OUT) writes OUT: every licence file, each under
# a heading that names its library.

function(_framelot_licence_folders prefix out)
  set(folders "")
  if(NOT prefix STREQUAL "")
    file(GLOB folders LIST_DIRECTORIES true "${prefix}/share/licenses/*")
    list(SORT folders)
  endif()
  set(${out} ${folders} PARENT_SCOPE)
endfunction()

function(FramelotDebianCopyright base prefix out)
  file(READ "${base}" text)
  _framelot_licence_folders("${prefix}" folders)
  foreach(folder IN LISTS folders)
    get_filename_component(library "${folder}" NAME)
    file(GLOB files "${folder}/*")
    list(SORT files)
    set(body "")
    set(holder "")
    foreach(file IN LISTS files)
      file(READ "${file}" licence)
      if(holder STREQUAL "" AND licence MATCHES "Copyright[^\n]*")
        # "Copyright (c) 2009 by the Brotli Authors." -> "2009 by the Brotli Authors."
        string(REGEX REPLACE "^Copyright *(\\([cC]\\)|©)? *" "" holder "${CMAKE_MATCH_0}")
      endif()
      # A full Apache License 2.0 (libavif's covers files of its own source
      # that are not built) becomes Debian's reference to its common copy.
      string(FIND "${licence}" "Apache License\n                           Version 2.0" apache)
      string(FIND "${licence}" "limitations under the License." apache_end)
      if(apache GREATER -1 AND apache_end GREATER apache)
        string(SUBSTRING "${licence}" 0 ${apache} before)
        math(EXPR after_start "${apache_end} + 30")
        string(SUBSTRING "${licence}" ${after_start} -1 after)
        string(STRIP "${before}" before)
        set(licence "${before}\nApache License 2.0: on Debian systems its full text is in\n/usr/share/common-licenses/Apache-2.0.${after}")
      endif()
      string(STRIP "${licence}" licence)
      if(NOT body STREQUAL "")
        string(APPEND body "\n.\n")
      endif()
      string(APPEND body "${licence}")
    endforeach()
    if(holder STREQUAL "")
      set(holder "the ${library} authors")
    endif()
    # Continuation lines start with a space; an empty line is a lone dot.
    string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" body "${body}")
    string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" body "${body}")
    string(REPLACE "\n" "\n " body "${body}")
    string(APPEND text "\nFiles: embedded/${library}\nCopyright: ${holder}\nLicense: ${library}-licence\n ${body}\n")
  endforeach()
  file(WRITE "${out}" "${text}")
endfunction()

function(FramelotLicenceText prefix out)
  set(text "")
  _framelot_licence_folders("${prefix}" folders)
  foreach(folder IN LISTS folders)
    get_filename_component(library "${folder}" NAME)
    file(GLOB files "${folder}/*")
    list(SORT files)
    foreach(file IN LISTS files)
      get_filename_component(name "${file}" NAME)
      file(READ "${file}" licence)
      string(APPEND text "==== ${library}: ${name} ====\n\n${licence}\n")
    endforeach()
  endforeach()
  file(WRITE "${out}" "${text}")
endfunction()
