# The benchmark modules and the stream player: one library shared by the
# benchmarks and the golden-output test. Plain C++ on the core, our host
# layer and the module writer, so it builds for the cross target too. The
# demo's composition is compiled in from its sources, as the demo library
# itself exists only in native builds with the tools.
if(NOT TARGET dbmbenchmodules)
  add_library(dbmbenchmodules STATIC
    ${CMAKE_SOURCE_DIR}/bench/modules.cpp
    ${CMAKE_SOURCE_DIR}/bench/stream_player.cpp
    ${CMAKE_SOURCE_DIR}/tools/demo/demo_song.cpp
    ${CMAKE_SOURCE_DIR}/tools/demo/waveforms.cpp)
  target_include_directories(dbmbenchmodules PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(dbmbenchmodules PUBLIC dbmcore kvhost dbmwriter)
endif()
