# The Windows packages (make windows): a portable zip and an NSIS installer,
# both holding framelot.exe, framelot-cli.exe, the licence, the licences of
# the libraries in them and a short readme.

install(TARGETS framelot framelot-cli RUNTIME DESTINATION .)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
# The licences of the libraries linked into both programs.
include(cmake/EmbeddedLicences.cmake)
FramelotLicenceText("${FRAMELOT_EMBEDDED_PREFIX}" ${CMAKE_BINARY_DIR}/packaging/THIRD-PARTY-LICENSES.txt)
install(FILES ${CMAKE_BINARY_DIR}/packaging/THIRD-PARTY-LICENSES.txt DESTINATION .)
configure_file(packaging/windows-readme.txt ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME framelot)
set(CPACK_PACKAGE_VENDOR "The Framelot developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Framelot: animated images to PNG frames")
set(CPACK_PACKAGE_FILE_NAME framelot-${PROJECT_VERSION}-win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
# The installer's name differs from the zip's (-setup.exe).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/packaging/WindowsPackageNames.cmake)

# The installer: Program Files\Framelot, a Start-menu shortcut, an uninstaller
# in Apps & features, and "Open with" entries for the formats Framelot reads,
# without taking any format's default program.
set(CPACK_PACKAGE_INSTALL_DIRECTORY Framelot)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Framelot)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Framelot)
set(CPACK_NSIS_DISPLAY_NAME Framelot)
set(CPACK_NSIS_INSTALLED_ICON_NAME framelot.exe)
set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/data/icons/framelot.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/data/icons/framelot.ico)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_PACKAGE_EXECUTABLES framelot Framelot)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for a 64-bit program (and Wine's wine64 runs it).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")

set(application "Software\\\\Classes\\\\Applications\\\\framelot.exe")
set(install_commands
  "WriteRegStr HKLM '${application}' 'FriendlyAppName' 'Framelot'"
  "WriteRegStr HKLM '${application}\\\\shell\\\\open\\\\command' '' '\\\"$INSTDIR\\\\framelot.exe\\\" \\\"%1\\\"'")
set(uninstall_commands "DeleteRegKey HKLM '${application}'")
foreach(extension IN LISTS FRAMELOT_EXTENSIONS)  # from the format table (cmake/Formats.cmake)
  list(APPEND install_commands
    "WriteRegStr HKLM '${application}\\\\SupportedTypes' '${extension}' ''"
    "WriteRegStr HKLM 'Software\\\\Classes\\\\${extension}\\\\OpenWithList\\\\framelot.exe' '' ''")
  list(APPEND uninstall_commands "DeleteRegKey HKLM 'Software\\\\Classes\\\\${extension}\\\\OpenWithList\\\\framelot.exe'")
endforeach()
list(JOIN install_commands "\n" CPACK_NSIS_EXTRA_INSTALL_COMMANDS)
list(JOIN uninstall_commands "\n" CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS)

set(CPACK_GENERATOR ZIP NSIS)
include(CPack)
