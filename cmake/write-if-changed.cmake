# write_if_changed(FILE TEXT): writes TEXT to FILE unless FILE already holds it, so that what
# depends on a generated file is not rebuilt for nothing. For the build-time scripts (cmake -P).
function(write_if_changed file text)
  set(old "")
  if(EXISTS ${file})
    file(READ ${file} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${file} "${text}")
  endif()
endfunction()
