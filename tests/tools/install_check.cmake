# Installs the build tree into a scratch prefix and checks that the installed
# kvplay finds the installed plug-in by itself and renders the demo with it,
# and with the installed library.
# Run with -DBUILD=<build tree> -DPREFIX=<scratch prefix>.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file bin/kvplay lib/kvplay/digibooster.kvp)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()
execute_process(COMMAND ${PREFIX}/bin/kvplay --version
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT output MATCHES "${PREFIX}/lib/kvplay/digibooster.kvp: DigiBooster")
  message(FATAL_ERROR "the installed kvplay did not find the installed plug-in:\n${output}${errors}")
endif()
execute_process(COMMAND ${PREFIX}/bin/kvplay -q --seconds 1 -o ${PREFIX}/demo.wav
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT EXISTS ${PREFIX}/demo.wav)
  message(FATAL_ERROR "the installed kvplay could not render the demo: ${errors}")
endif()
# Through the installed library too, which the installed kvplay finds by itself.
execute_process(COMMAND ${PREFIX}/bin/kvplay -q --song 0 --seconds 1 -o ${PREFIX}/song.wav
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT EXISTS ${PREFIX}/song.wav)
  message(FATAL_ERROR "the installed kvplay could not render through the library: ${errors}")
endif()
file(REMOVE_RECURSE ${PREFIX})
