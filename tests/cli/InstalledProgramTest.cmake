# Runs the installed tesselbox-cli as a user would, from a folder without Colors.txt, so the table
# installed with it is used, without a display, so the JPEG plugin must load without one, and
# without a locale.
# cmake -DPROGRAM=... -DSAMPLE_PNG=... -DSAMPLE_JPEG=... -DWORK=... -P this file
foreach(name PROGRAM SAMPLE_PNG SAMPLE_JPEG WORK)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "${name} is not set")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run_program expected_code)
  execute_process(COMMAND "${PROGRAM}" ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code STREQUAL expected_code)
    message(FATAL_ERROR "tesselbox-cli ${ARGN}: exit ${code}, expected ${expected_code}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run_program(0 --version)
if(NOT out STREQUAL "tesselbox-cli 1.0.0.0\n")
  message(FATAL_ERROR "unexpected version: ${out}")
endif()

file(COPY "${SAMPLE_PNG}" DESTINATION "${WORK}")
file(COPY "${SAMPLE_JPEG}" DESTINATION "${WORK}/photos")
run_program(0 convert sample.png -o sample.schematic --preview sample-blocks.png --materials)
if(NOT err MATCHES "comes with the program")
  message(FATAL_ERROR "the installed color table was not used:\n${err}")
endif()
if(NOT out MATCHES "blocks in total")
  message(FATAL_ERROR "no bill of materials:\n${out}")
endif()
# The 400 x 300 sample fits to 300 x 225: 124 + 2 x 67500 bytes.
file(SIZE "${WORK}/sample.schematic" size)
if(NOT size EQUAL 135124)
  message(FATAL_ERROR "sample.schematic has ${size} bytes, expected 135124")
endif()
file(READ "${WORK}/sample-blocks.png" signature LIMIT 8 HEX)
if(NOT signature STREQUAL "89504e470d0a1a0a")
  message(FATAL_ERROR "sample-blocks.png is not a PNG")
endif()

# A 160 x 120 JPEG, kept at its size, written beside it.
run_program(0 convert photos/sample.jpg)
file(SIZE "${WORK}/photos/sample.schematic" size)
if(NOT size EQUAL 38524)
  message(FATAL_ERROR "photos/sample.schematic has ${size} bytes, expected 38524")
endif()

# A name outside ASCII, with no locale in the environment (CTest unsets it).
file(MAKE_DIRECTORY "${WORK}/照片")
file(COPY_FILE "${SAMPLE_JPEG}" "${WORK}/照片/样本.jpg")
run_program(0 convert 照片/样本.jpg)
file(SIZE "${WORK}/照片/样本.schematic" size)
if(NOT size EQUAL 38524)
  message(FATAL_ERROR "照片/样本.schematic has ${size} bytes, expected 38524")
endif()

run_program(0 palette)
string(REGEX MATCHALL "[^\n]+" lines "${out}")
list(LENGTH lines count)
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9]+,[0-9]+,[0-9]+,[0-9]+,[0-9]+$")
    message(FATAL_ERROR "not a palette line: '${line}'")
  endif()
endforeach()
if(count LESS 100)
  message(FATAL_ERROR "the installed table has ${count} entries")
endif()

run_program(2 convert)
run_program(1 convert missing.png)
message(STATUS "the installed tesselbox-cli works")
