# Makes the demo's data pack: generated files, the mesh converted, the sync
# tracks saved beside the pack, and the whole packed by the program itself. Run with cmake -P and these variables:
#   GENERATOR    the make-demo-data program
#   TARNIX       the tarnix program
#   STAGE        the directory the loose files are made in, under data/;
#                made anew each time and kept, for editing copies of them
#   DESTINATION  the directory that receives data/datafile.dat
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}/data" "${DESTINATION}/data")

function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "demo data: ${what} failed (${status}): ${errors}")
    endif()
endfunction()

run("generating the files" "${GENERATOR}" "${STAGE}/data")
# The converter reads data/<name> and writes the .dvm beside it.
run("converting greeble.3ds" ${CMAKE_COMMAND} -E chdir "${STAGE}" "${TARNIX}" --convert3DtoDVM greeble.3ds)
file(REMOVE "${STAGE}/data/greeble.3ds")
# Sync tracks saved by the development mode beside the pack go into it, so
# that captures and releases play them.
file(GLOB_RECURSE tracks RELATIVE "${DESTINATION}/data" "${DESTINATION}/data/*.track")
foreach(track ${tracks})
    configure_file("${DESTINATION}/data/${track}" "${STAGE}/data/${track}" COPYONLY)
endforeach()
run("packing" ${CMAKE_COMMAND} -E chdir "${DESTINATION}" "${TARNIX}" --createDataPack "${STAGE}/data")
