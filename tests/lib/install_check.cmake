# Installs the build tree into a scratch prefix, compiles the C example (gcc)
# against the installed header and library with pkg-config, and plays the
# test module to a WAV with it. Run with -DBUILD, -DPREFIX, -DEXAMPLE (the C
# source) and -DWRITER (the program that writes the modules into a folder).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(file include/dbmplay.h lib/libdbmplay.so.1 lib/libdbmplay.a lib/pkgconfig/dbmplay.pc)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()
set(ENV{PKG_CONFIG_PATH} ${PREFIX}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs dbmplay sndfile
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND gcc -std=c99 -Wall -Werror ${EXAMPLE} ${flags} -Wl,-rpath,${PREFIX}/lib -o ${PREFIX}/example
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the C example did not compile against the installed library: ${errors}")
endif()
execute_process(COMMAND ${WRITER} ${PREFIX})
execute_process(COMMAND ${PREFIX}/example ${PREFIX}/songs.dbm ${PREFIX}/songs.wav
                RESULT_VARIABLE status ERROR_VARIABLE errors)
file(SIZE ${PREFIX}/songs.wav size)
# Song 0 lasts 175518 frames: 43 blocks of 4096 frames, 4 bytes each, and the header.
if(NOT status EQUAL 0 OR size LESS 704512)
  message(FATAL_ERROR "the C example did not play the module (${size} bytes): ${errors}")
endif()
file(REMOVE_RECURSE ${PREFIX})
