# The AVIF and JPEG XL decoders: FRAMELOT_AVIF_LIBS and FRAMELOT_JXL_LIBS name
# the libraries that framelot_avif, framelot_jxl and the tests link;
# FRAMELOT_LIBAVIF_SOURCE is the pinned libavif's source archive, whose test
# files the tests read (empty with the system's libraries), and
# FRAMELOT_EMBEDDED_PREFIX the prefix whose share/licenses the packages carry.
#
# On Linux, FRAMELOT_CODECS is the folder `scripts/deps.sh linux` prints: the
# pinned libavif (with dav1d) and libjxl (with highway, brotli, lcms2), built
# as static libraries and linked into the programs, so that the Linux and the
# Windows build decode with the same versions. Left empty, the system's
# shared libraries are used. The Windows build takes all of its libraries from
# FRAMELOT_WINDOWS_DEPS, and the web build from FRAMELOT_WEB_DEPS, set up
# before this file is read.
#
# The benchmark's generator encodes AVIF, which the pinned libavif (a decoder
# only) cannot: it always links the system's libavif and libjxl, as
# FRAMELOT_ENCODER_LIBS. It links none of the core's decoders, so the two
# copies never meet in one program.

if(WIN32 OR EMSCRIPTEN)
  pkg_check_modules(AVIF REQUIRED IMPORTED_TARGET libavif)
  pkg_check_modules(JXL REQUIRED IMPORTED_TARGET libjxl libjxl_threads)
  set(FRAMELOT_AVIF_LIBS PkgConfig::AVIF)
  set(FRAMELOT_JXL_LIBS PkgConfig::JXL)
  set(FRAMELOT_ENCODER_LIBS PkgConfig::AVIF PkgConfig::JXL)
  set(FRAMELOT_LIBAVIF_SOURCE "${FRAMELOT_WINDOWS_DEPS}${FRAMELOT_WEB_DEPS}/share/libavif-source.tar.gz")
  set(FRAMELOT_EMBEDDED_PREFIX "${FRAMELOT_WINDOWS_DEPS}${FRAMELOT_WEB_DEPS}")
  return()
endif()

set(FRAMELOT_CODECS "" CACHE PATH "Prefix of the pinned AVIF and JPEG XL decoders (scripts/deps.sh linux); empty: the system's")

pkg_check_modules(SYSTEM_AVIF REQUIRED IMPORTED_TARGET libavif)
pkg_check_modules(SYSTEM_JXL REQUIRED IMPORTED_TARGET libjxl libjxl_threads)
set(FRAMELOT_ENCODER_LIBS PkgConfig::SYSTEM_AVIF PkgConfig::SYSTEM_JXL)

if(FRAMELOT_CODECS STREQUAL "")
  set(FRAMELOT_AVIF_LIBS PkgConfig::SYSTEM_AVIF)
  set(FRAMELOT_JXL_LIBS PkgConfig::SYSTEM_JXL)
  set(FRAMELOT_LIBAVIF_SOURCE "")
  set(FRAMELOT_EMBEDDED_PREFIX "")
  message(STATUS "AVIF and JPEG XL: the system's libavif ${SYSTEM_AVIF_VERSION} and libjxl ${SYSTEM_JXL_libjxl_VERSION}")
  return()
endif()

# pkg-config's answers and the libraries found from them are cached; a
# different prefix (the lock changed, so the cache folder did) asks again.
if(NOT FRAMELOT_CODECS STREQUAL FRAMELOT_CODECS_ASKED)
  get_cmake_property(cached CACHE_VARIABLES)
  foreach(name IN LISTS cached)
    if(name MATCHES "^(pkgcfg_lib_PINNED_|__pkg_config_checked_PINNED_)")
      unset(${name} CACHE)
    endif()
  endforeach()
  set(FRAMELOT_CODECS_ASKED "${FRAMELOT_CODECS}" CACHE INTERNAL "")
endif()

# Only the prefix's own .pc files, and their static link lines.
set(saved_libdir "$ENV{PKG_CONFIG_LIBDIR}")
set(saved_path "$ENV{PKG_CONFIG_PATH}")
set(ENV{PKG_CONFIG_LIBDIR} "${FRAMELOT_CODECS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)
pkg_check_modules(PINNED_AVIF IMPORTED_TARGET libavif)
pkg_check_modules(PINNED_JXL IMPORTED_TARGET libjxl libjxl_threads)
unset(PKG_CONFIG_ARGN)
set(ENV{PKG_CONFIG_LIBDIR} "${saved_libdir}")
set(ENV{PKG_CONFIG_PATH} "${saved_path}")
if(NOT PINNED_AVIF_FOUND OR NOT PINNED_JXL_FOUND)
  message(FATAL_ERROR "FRAMELOT_CODECS=${FRAMELOT_CODECS} holds no libavif and libjxl; "
    "run scripts/deps.sh linux, or leave FRAMELOT_CODECS empty for the system's libraries")
endif()
set(FRAMELOT_AVIF_LIBS PkgConfig::PINNED_AVIF)
set(FRAMELOT_JXL_LIBS PkgConfig::PINNED_JXL)
set(FRAMELOT_LIBAVIF_SOURCE "${FRAMELOT_CODECS}/share/libavif-source.tar.gz")
set(FRAMELOT_EMBEDDED_PREFIX "${FRAMELOT_CODECS}")
message(STATUS "AVIF and JPEG XL: libavif ${PINNED_AVIF_VERSION} and libjxl ${PINNED_JXL_libjxl_VERSION}, "
  "linked statically from ${FRAMELOT_CODECS}")
