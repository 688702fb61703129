# The distribution's hardening flags for every target: fortified glibc calls,
# the stack protector, format checks and a read-only, immediately bound
# relocation table, as Debian builds its own packages. They are asked of
# dpkg-buildflags with every hardening feature on; what it would give with
# them all off (optimisation, debug information, file prefix maps) is left
# out, as the build type decides that. Without dpkg-buildflags, or with
# -DKVAREN_HARDENING=OFF, the build is plain.
option(KVAREN_HARDENING "Build with the hardening flags of dpkg-buildflags" ON)
find_program(DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags)
mark_as_advanced(DPKG_BUILDFLAGS_PROGRAM)

function(kvaren_buildflags result variable options)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${options}
            ${DPKG_BUILDFLAGS_PROGRAM} --get ${variable}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${result} ${flags} PARENT_SCOPE)
endfunction()

# The flags VARIABLE has with every hardening feature on and not with them off.
function(kvaren_hardening_flags result variable)
  kvaren_buildflags(on ${variable} hardening=+all)
  kvaren_buildflags(off ${variable} hardening=-all)
  list(REMOVE_ITEM on ${off})
  set(${result} ${on} PARENT_SCOPE)
endfunction()

if(KVAREN_HARDENING AND DPKG_BUILDFLAGS_PROGRAM)
  kvaren_hardening_flags(hardening_cppflags CPPFLAGS)
  kvaren_hardening_flags(hardening_cxxflags CXXFLAGS)
  kvaren_hardening_flags(hardening_ldflags LDFLAGS)
  string(JOIN " " flags ${hardening_cppflags} ${hardening_cxxflags} ${hardening_ldflags})
  message(STATUS "Hardening flags: ${flags}")
  # _FORTIFY_SOURCE works only in an optimised build; a Debug build would get
  # glibc's warning about it in every file instead.
  add_compile_options(${hardening_cxxflags} "$<$<NOT:$<CONFIG:Debug>>:${hardening_cppflags}>")
  add_link_options(${hardening_ldflags})
endif()
