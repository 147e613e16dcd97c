# The program is built the way Debian builds its own packages (dpkg-buildflags' "hardening=+all"):
# libc's fortified string and memory calls (which need the optimiser, so not in Debug builds),
# the strong stack protector and stack-clash probes, control-flow protection where the processor
# has it, a position-independent executable, and relocations made read-only once the loader has
# bound them all at start-up. The tests link the same hardened objects, so they check what is
# shipped. The sanitizer and fuzzing builds leave it out: their own checks replace libc's, and
# the fortified calls would hide overruns from AddressSanitizer.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

option(CINEVARTA_HARDEN "Build the program with Debian's hardening flags" ON)

# cinevarta_harden(<object libraries and programs>...)
function(cinevarta_harden)
  if(NOT CINEVARTA_HARDEN OR CINEVARTA_SANITIZE OR CINEVARTA_FUZZ)
    return()
  endif()
  set(flags -fstack-protector-strong)
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "CV_HAS${flag}" var)
    check_cxx_compiler_flag(${flag} ${var})
    if(${var})
      list(APPEND flags ${flag})
    endif()
  endforeach()
  check_pie_supported(LANGUAGES CXX)
  foreach(target IN LISTS ARGN)
    # -U first: a compiler that fortifies by default would otherwise warn of a redefinition.
    target_compile_options(${target} PRIVATE ${flags}
      "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE>"
      "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>")
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE LINKER:-z,relro LINKER:-z,now)
    endif()
  endforeach()
endfunction()
