# The plug-in through GStreamer's own command-line tools, as a user runs them.
# Run with -DBUILD (the build folder), -DPLUGIN_DIR (where the plug-in is
# installed, relative to the prefix), -DKVPLAY, -DWRITER (writes the test
# modules), -DWORK (a scratch folder) and -DGST_LAUNCH, -DGST_INSPECT,
# -DGST_DISCOVERER (the tools).
foreach(tool GST_LAUNCH GST_INSPECT GST_DISCOVERER)
  if(NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "${tool} not found: install gstreamer1.0-tools and gstreamer1.0-plugins-base-apps")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Runs a command that must succeed; its output goes to `output`.
function(must)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${status}): ${out}${err}")
  endif()
  set(output "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect_same_bytes expected actual)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual} RESULT_VARIABLE differ)
  if(differ)
    file(SIZE ${expected} expected_size)
    file(SIZE ${actual} actual_size)
    message(FATAL_ERROR "${actual} (${actual_size} bytes) differs from ${expected} (${expected_size} bytes)")
  endif()
endfunction()

# The tools use the plug-in as installed into a scratch prefix.
must(${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix)
if(NOT EXISTS ${WORK}/prefix/${PLUGIN_DIR}/libgstdbm.so)
  message(FATAL_ERROR "the plug-in is not installed into ${PLUGIN_DIR}")
endif()
set(ENV{GST_PLUGIN_PATH} ${WORK}/prefix/${PLUGIN_DIR})
set(ENV{GST_REGISTRY} ${WORK}/registry.bin)

must(${KVPLAY} --write-demo ${WORK}/demo.dbm)
must(${WRITER} ${WORK})
foreach(module demo songs quiet)
  set(file ${WORK}/${module})
  must(${KVPLAY} -q --raw ${file}.dbm -o ${file}-kvplay.raw)
  must(${GST_LAUNCH} -q filesrc location=${file}.dbm ! dbmdec ! filesink location=${file}-dbmdec.raw)
  expect_same_bytes(${file}-kvplay.raw ${file}-dbmdec.raw)
  # playbin finds the element by type finding alone, without the extension.
  file(COPY_FILE ${file}.dbm ${file}-module)
  must(${GST_LAUNCH} -q playbin uri=file://${file}-module "audio-sink=filesink location=${file}-playbin.raw")
  expect_same_bytes(${file}-kvplay.raw ${file}-playbin.raw)
endforeach()

# gst-discoverer-1.0 reports the scanned duration and the title that kvplay --info gives.
must(${KVPLAY} --info ${WORK}/demo.dbm)
string(REGEX MATCH "demo.dbm: \"([^\"]*)\"" _ "${output}")
set(title "${CMAKE_MATCH_1}")
string(REGEX MATCH "duration: [^(]*\\(([0-9]+) frames\\)" _ "${output}")
math(EXPR nanoseconds "${CMAKE_MATCH_1} * 1000000000 / 44100")
math(EXPR seconds "${nanoseconds} / 1000000000")
math(EXPR fraction "${nanoseconds} % 1000000000 + 1000000000")
string(SUBSTRING ${fraction} 1 9 fraction)
math(EXPR minutes "${seconds} / 60")
math(EXPR seconds "${seconds} % 60 + 100")
string(SUBSTRING ${seconds} 1 2 seconds)
must(${GST_DISCOVERER} -v ${WORK}/demo.dbm)
foreach(line "Duration: 0:0${minutes}:${seconds}.${fraction}" "title: ${title}" "audio/x-dbm")
  string(FIND "${output}" "${line}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "gst-discoverer-1.0 does not report \"${line}\":\n${output}")
  endif()
endforeach()

# gst-inspect-1.0 describes the element, its pads and its properties.
must(${GST_INSPECT} dbmdec)
foreach(pattern "Codec/Decoder/Audio" "audio/x-dbm" "format: S16" "rate: 44100" "channels: 2"
                "song +: The module's song" "repeats +: How many more times")
  if(NOT output MATCHES "${pattern}")
    message(FATAL_ERROR "gst-inspect-1.0 dbmdec does not show ${pattern}:\n${output}")
  endif()
endforeach()

# A damaged file: an error from the element naming the cause, and a clean stop.
file(READ ${WORK}/demo.dbm bytes HEX LIMIT 4000)
string(REGEX REPLACE "(..)" "\\\\x\\1" bytes "${bytes}")
execute_process(COMMAND printf "${bytes}" OUTPUT_FILE ${WORK}/damaged.dbm)
execute_process(COMMAND ${GST_LAUNCH} filesrc location=${WORK}/damaged.dbm ! dbmdec ! fakesink
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT "${out}${err}" MATCHES "ERROR: from element [^\n]*dbmdec0: the module could not be read to its end")
  message(FATAL_ERROR "a truncated module gave status ${status}:\n${out}${err}")
endif()
file(REMOVE_RECURSE ${WORK})
