# zlib, libjpeg and FreeType: Debian's -dev packages natively; for mingw, zlib
# from libz-mingw-w64-dev and the other two from the cache that scripts/setup fills.
add_library(pagrix_deps INTERFACE)

if(WIN32)
  set(_dep ${PAGRIX_DEPS_DIR}/${MINGW_TRIPLET})
  if(NOT EXISTS ${_dep}/lib/libfreetype.a OR NOT EXISTS ${_dep}/lib/libjpeg.a)
    message(FATAL_ERROR "mingw FreeType/libjpeg missing in ${_dep}: run scripts/setup")
  endif()
  target_include_directories(pagrix_deps INTERFACE ${_dep}/include ${_dep}/include/freetype2)
  # zlib comes first: the cached FreeType carries its own copy of zlib's
  # inflate and CRC code, and the engine's references must resolve to one copy.
  # FreeType is built against this same zlib, so zlib comes last.
  target_link_libraries(pagrix_deps INTERFACE
    ${_dep}/lib/libfreetype.a ${_dep}/lib/libjpeg.a /usr/${MINGW_TRIPLET}/lib/libz.a)
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
  target_link_libraries(pagrix_deps INTERFACE ZLIB::ZLIB JPEG::JPEG Freetype::Freetype)
endif()
