# Writes OUT, a header that names the commit the program is built from, and
# touches it only when that changes, so a new commit rebuilds one file.
#   cmake -DSOURCE=DIR -DOUT=FILE [-DCOMMIT=ID] -P BuildCommit.cmake
# COMMIT, when given, wins (a build from a source archive has no git).
if(NOT COMMIT)
  execute_process(COMMAND git -C "${SOURCE}" rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed)
    set(COMMIT "")
  endif()
endif()
set(text "#define QUILLON_COMMIT \"${COMMIT}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUT}" "${text}")
endif()
