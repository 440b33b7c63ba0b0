# zorvik_program_manifest(target LEVEL asInvoker|requireAdministrator DESCRIPTION text
#                         [VERSION a.b.c.d] [WINDOW])
# Embeds the one manifest of our programs (cmake/program.manifest.in) as resource 24, id 1:
# the execution level the program needs, the same DPI awareness for all, and common controls 6
# for a program with a window (WINDOW).
set(ZORVIK_MANIFEST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/program.manifest.in)

function(zorvik_program_manifest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "WINDOW" "LEVEL;DESCRIPTION;VERSION" "")
  if(NOT arg_LEVEL MATCHES "^(asInvoker|requireAdministrator)$")
    message(FATAL_ERROR "zorvik_program_manifest(${target}): LEVEL asInvoker or requireAdministrator")
  endif()
  set(MANIFEST_NAME ${target})
  set(MANIFEST_LEVEL ${arg_LEVEL})
  set(MANIFEST_DESCRIPTION ${arg_DESCRIPTION})
  set(MANIFEST_VERSION 1.0.0.0)
  if(arg_VERSION)
    set(MANIFEST_VERSION ${arg_VERSION})
  endif()
  set(MANIFEST_DEPENDENCY "")
  if(arg_WINDOW)
    set(MANIFEST_DEPENDENCY [[
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>]])
  endif()
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  configure_file(${ZORVIK_MANIFEST_TEMPLATE} ${manifest} @ONLY)
  file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${manifest}\"\n")
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
endfunction()
