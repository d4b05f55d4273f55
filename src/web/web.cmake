# The page: the fountain built with Emscripten into build-web/site/ (tools/web.sh),
# the same shared sources as the desktop's and the page's own in src/web/.
set(LAAVA_WEB_SIMD ON CACHE BOOL "Highway's WebAssembly SIMD target; OFF gives its scalar one")
set(LAAVA_TAUSTA "" CACHE FILEPATH "The default picture to pack with the page")

# Highway's headers alone, from a libhwy-dev, without the rest of its /usr/include.
set(LAAVA_HWY_INCLUDE /usr/include CACHE PATH "The folder Highway's headers (hwy/) are in")
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/hwy-include)
file(CREATE_LINK ${LAAVA_HWY_INCLUDE}/hwy ${CMAKE_BINARY_DIR}/hwy-include/hwy SYMBOLIC)
set(emscripten_sdl_include ${EMSCRIPTEN_SYSROOT}/include/SDL)
if(NOT EXISTS ${emscripten_sdl_include}/SDL.h)
  get_filename_component(emscripten_root ${CMAKE_CXX_COMPILER} DIRECTORY)
  set(emscripten_sdl_include ${emscripten_root}/system/include/SDL)
endif()

add_compile_options(-O3)
if(LAAVA_WEB_SIMD)
  add_compile_options(-msimd128)
endif()

add_library(laavasuihku_web_core STATIC ${LAAVA_SHARED_SOURCES} src/web/platform.cpp src/web/memory_surface.cpp
            src/web/refresh_pace.cpp src/web/page_picture.cpp src/web/on_screen_keys.cpp)
target_include_directories(laavasuihku_web_core PUBLIC src src/web ${emscripten_sdl_include})
target_include_directories(laavasuihku_web_core SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/hwy-include)

set(site ${CMAKE_BINARY_DIR}/site)
add_executable(laavasuihku src/web/page.cpp)
target_link_libraries(laavasuihku PRIVATE laavasuihku_web_core)
set_target_properties(laavasuihku PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${site})
# A fixed heap: the pool is 24 MB, the frames 6; the canvas's view of the
# frame stays valid only while the memory does not grow.
target_link_options(laavasuihku PRIVATE -O3 -sENVIRONMENT=web -sINITIAL_MEMORY=64MB -sALLOW_MEMORY_GROWTH=0)
if(LAAVA_TAUSTA)
  # Decoded by the browser as the page loads.
  target_link_options(laavasuihku PRIVATE --preload-file ${LAAVA_TAUSTA}@tausta.bmp --use-preload-plugins)
  set_property(TARGET laavasuihku APPEND PROPERTY LINK_DEPENDS ${LAAVA_TAUSTA})
endif()
# The page around the module: its markup, style and scripts, as they are.
file(GLOB page_files CONFIGURE_DEPENDS src/web/page/*)
foreach(file ${page_files})
  get_filename_component(name ${file} NAME)
  configure_file(${file} ${site}/${name} COPYONLY)
endforeach()

option(LAAVA_TESTS "Build the tests" ON)
if(LAAVA_TESTS)
  enable_testing()
  add_subdirectory(tests/web)
endif()

# The pass's time under node (bench/bench_web.cpp).
add_executable(laavasuihku_web_bench bench/bench_web.cpp)
target_link_libraries(laavasuihku_web_bench PRIVATE laavasuihku_web_core)
target_link_options(laavasuihku_web_bench PRIVATE -sENVIRONMENT=node -sINITIAL_MEMORY=96MB)
