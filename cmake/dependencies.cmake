# zlib, libjpeg, FreeType, OpenJPEG and jbig2dec: Debian's -dev packages
# natively; for mingw, zlib from libz-mingw-w64-dev and the others from the
# cache that scripts/setup fills.
add_library(pagrix_deps INTERFACE)

if(WIN32)
  set(_dep ${PAGRIX_DEPS_DIR}/${MINGW_TRIPLET})
  if(NOT EXISTS ${_dep}/lib/libfreetype.a OR NOT EXISTS ${_dep}/lib/libjpeg.a)
    message(FATAL_ERROR "mingw FreeType/libjpeg missing in ${_dep}: run scripts/setup")
  endif()
  if(NOT EXISTS ${_dep}/lib/libopenjp2.a OR NOT EXISTS ${_dep}/lib/libjbig2dec.a)
    message(FATAL_ERROR "mingw OpenJPEG/jbig2dec missing in ${_dep}: run scripts/setup")
  endif()
  target_include_directories(pagrix_deps INTERFACE ${_dep}/include ${_dep}/include/freetype2
    ${_dep}/include/openjpeg)
  # The static OpenJPEG: no dllimport declarations.
  target_compile_definitions(pagrix_deps INTERFACE OPJ_STATIC)
  # zlib comes first: the cached FreeType carries its own copy of zlib's
  # inflate and CRC code, and the engine's references must resolve to one copy.
  # FreeType is built against this same zlib, so zlib comes last.
  target_link_libraries(pagrix_deps INTERFACE
    ${_dep}/lib/libfreetype.a ${_dep}/lib/libjpeg.a ${_dep}/lib/libopenjp2.a ${_dep}/lib/libjbig2dec.a
    /usr/${MINGW_TRIPLET}/lib/libz.a)
  # Everything of the compiler's runtime is linked in: the program needs only
  # system DLLs and pagrix.dll.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The stack Windows programs usually get (mingw's linker reserves 2 MiB):
  # the program and its tests run with the depth the recursion limits must fit.
  add_link_options(-Wl,--stack,1048576)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _USE_MATH_DEFINES _WIN32_WINNT=0x0501 WINVER=0x0501)
else()
  find_package(ZLIB REQUIRED)
  find_package(JPEG REQUIRED)
  find_package(Freetype REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
  find_path(JBIG2DEC_INCLUDE_DIR jbig2.h REQUIRED)
  find_library(JBIG2DEC_LIBRARY jbig2dec REQUIRED)
  target_include_directories(pagrix_deps INTERFACE ${JBIG2DEC_INCLUDE_DIR})
  target_link_libraries(pagrix_deps INTERFACE ZLIB::ZLIB JPEG::JPEG Freetype::Freetype PkgConfig::OPENJP2
    ${JBIG2DEC_LIBRARY})
endif()
