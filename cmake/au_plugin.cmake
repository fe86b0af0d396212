# Building Audio Unit modules.
#
#   tarvex_add_au_plugin(<target> SOURCES <files...> [LIBS <libraries...>])
#
# Builds a loadable module named <target>.so (no "lib" prefix) from the given
# sources, which hold the unit and its effect. The module compiles in the
# Audio Unit base classes (tarvex_au_base) and the VST effect base, links
# against the host-process services library as a real unit links against the
# system frameworks, must resolve every symbol at link time, and exports
# exactly one symbol, AUPlugEntry.

set(TARVEX_AU_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/au_plugin.map)

function(tarvex_add_au_plugin target)
  cmake_parse_arguments(PLUGIN "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT PLUGIN_SOURCES)
    message(FATAL_ERROR "tarvex_add_au_plugin(${target}): no SOURCES given")
  endif()
  add_library(${target} MODULE ${PLUGIN_SOURCES})
  target_link_libraries(${target} PRIVATE tarvex_au_base tarvex_vst ${PLUGIN_LIBS}
    tarvex_au_services tarvex_warnings)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    LINK_DEPENDS ${TARVEX_AU_EXPORTS})
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${TARVEX_AU_EXPORTS}"
    "LINKER:--no-undefined"
    # Classes registered with the host's class runtime point into the module,
    # and the FFT plans are made once per process: the module stays resident.
    "LINKER:-z,nodelete")
endfunction()
