# cinevarta_fetch_limits(<target> <total-ms> <idle-ms> <max-megabytes>)
# Makes a small object library that defines FetchLimits(), the limits of every page load and
# download, so that each program links its own: the real program and the demo the limits a
# person waits for, the tests that stall a server on purpose shorter ones.
function(cinevarta_fetch_limits target total_ms idle_ms max_mb)
  set(CV_TOTAL_MS "${total_ms}")
  set(CV_IDLE_MS "${idle_ms}")
  set(CV_MAX_MB "${max_mb}")
  set(out ${CMAKE_BINARY_DIR}/generated/${target}.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/fetch_limits.cpp.in ${out} @ONLY)
  add_library(${target} OBJECT ${out})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
endfunction()
