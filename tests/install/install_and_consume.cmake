# Installs this build into a scratch prefix, builds tests/install/consumer against it and runs
# the result on an archive made by Python's zipfile. Fails at the first step that does.
# -D BUILD_DIR=... -D SOURCE_DIR=... -D WORK_DIR=... -D GENERATOR=...
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix --component engine)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${WORK_DIR}/build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
file(WRITE ${WORK_DIR}/make_zip.py [=[
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('docs/a.txt', 'x' * 100, zipfile.ZIP_DEFLATED)
]=])
run(python3 ${WORK_DIR}/make_zip.py ${WORK_DIR}/t.zip)
run(${WORK_DIR}/build/engine_consumer ${WORK_DIR}/t.zip)
if(NOT last_output STREQUAL "docs/a.txt\n")
  message(FATAL_ERROR "the consumer listed: ${last_output}")
endif()
