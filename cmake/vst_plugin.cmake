# Building VST plug-in modules.
#
#   tarvex_add_vst_plugin(<target> SOURCES <files...> [LIBS <libraries...>]
#                         [EXPORTS <version script>])
#
# Builds a loadable module named <target>.so (no "lib" prefix) from the entry
# point vst/vstplugmain.cpp and the given sources, which define the plug-in's
# createEffectInstance. The module links the effect base tarvex_vst and the
# given libraries, must resolve every symbol at link time, and exports exactly
# one symbol, VSTPluginMain, or the symbols of the given version script.

set(TARVEX_VST_EXPORTS ${CMAKE_CURRENT_LIST_DIR}/vst_plugin.map)

function(tarvex_add_vst_plugin target)
  cmake_parse_arguments(PLUGIN "" "EXPORTS" "SOURCES;LIBS" ${ARGN})
  if(NOT PLUGIN_EXPORTS)
    set(PLUGIN_EXPORTS ${TARVEX_VST_EXPORTS})
  endif()
  if(NOT PLUGIN_SOURCES)
    message(FATAL_ERROR "tarvex_add_vst_plugin(${target}): no SOURCES given")
  endif()
  add_library(${target} MODULE ${PROJECT_SOURCE_DIR}/vst/vstplugmain.cpp ${PLUGIN_SOURCES})
  target_link_libraries(${target} PRIVATE tarvex_vst ${PLUGIN_LIBS} tarvex_warnings)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    LINK_DEPENDS ${PLUGIN_EXPORTS})
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${PLUGIN_EXPORTS}"
    "LINKER:--no-undefined")
endfunction()
