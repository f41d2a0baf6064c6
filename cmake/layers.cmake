# The layers, which target each one is, and which layers each may use. Read by the build (the link
# check below) and by cmake/check_layers.cmake (the include check, CTest label "layers"), so the rule
# is written once.
#
# A file's layer is its top folder, except that pages/ holds two layers in two folders (pages/models/, the
# Qt-free form models, and pages/dialogs/, the page dialogs), the link agent's folder link/agent/ is a
# layer apart from the component contract in link/, and the programs' folders under tools/ are layers of
# their own.

set(VELMORA_LAYERS
  platform config script link link_agent netline pages framework res page_dialogs plugin host host_window
  image_tool)
# Layers that must not see Qt: they link no Qt, so a Qt header is not on their include path.
set(VELMORA_QT_FREE_LAYERS platform config script link link_agent netline pages)

set(velmora_layer_platform_target velmora_platform)
set(velmora_layer_platform_uses "")
set(velmora_layer_config_target velmora_config)
set(velmora_layer_config_uses platform)
set(velmora_layer_script_target velmora_script)
set(velmora_layer_script_uses config platform)
set(velmora_layer_link_target velmora_link)
set(velmora_layer_link_uses "")
set(velmora_layer_link_agent_target velmora_link_agent)
set(velmora_layer_link_agent_uses link config platform)
set(velmora_layer_netline_target velmora_netline)
set(velmora_layer_netline_uses "")
set(velmora_layer_pages_target velmora_pages)
set(velmora_layer_pages_uses script config platform link)
set(velmora_layer_framework_target velmora_framework)
set(velmora_layer_framework_uses "")
set(velmora_layer_res_target velmora_res)
set(velmora_layer_res_uses framework)
set(velmora_layer_page_dialogs_target velmora_page_dialogs)
set(velmora_layer_page_dialogs_uses pages script config platform framework res link)
set(velmora_layer_plugin_target velmora_plugin)
set(velmora_layer_plugin_uses page_dialogs pages script config platform framework res link link_agent)
set(velmora_layer_host_target velmora_host)
set(velmora_layer_host_uses link netline)
set(velmora_layer_host_window_target velmora_host_window)
set(velmora_layer_host_window_uses host link netline platform framework)
set(velmora_layer_image_tool_target velmora_image_core)
set(velmora_layer_image_tool_uses pages script config platform link)

# velmora_layer_of_file(<path relative to the repository root> <out>): the layer, or "" for a file
# outside every layer (tests, generated files).
function(velmora_layer_of_file path out)
  set(layer "")
  if(path MATCHES "^pages/dialogs/")
    set(layer page_dialogs)
  elseif(path MATCHES "^pages/models/")
    set(layer pages)
  elseif(path MATCHES "^pages/")
    # Neither folder: outside every layer, so the include check reports it.
  elseif(path MATCHES "^link/agent/")
    set(layer link_agent)
  elseif(path MATCHES "^tools/velmora-image/")
    set(layer image_tool)
  elseif(path MATCHES "^tools/velmora-host/")
    set(layer host_window)
  elseif(path MATCHES "^([^/]+)/")
    list(FIND VELMORA_LAYERS "${CMAKE_MATCH_1}" index)
    if(NOT index EQUAL -1)
      set(layer ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

# velmora_layer_of_target(<target name> <out>): the layer whose target it is, or "".
function(velmora_layer_of_target target out)
  set(found "")
  foreach(layer IN LISTS VELMORA_LAYERS)
    if(velmora_layer_${layer}_target STREQUAL target)
      set(found ${layer})
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# velmora_check_layer_links(): at configure time, every layer target links only the layers it may use,
# and the Qt-free layers link nothing of Qt.
function(velmora_check_layer_links)
  foreach(layer IN LISTS VELMORA_LAYERS)
    set(target ${velmora_layer_${layer}_target})
    if(NOT TARGET ${target})
      message(FATAL_ERROR "layer ${layer}: its target ${target} is not defined")
    endif()
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT links)
      set(links "")
    endif()
    # $<LINK_LIBRARY:FEATURE,a,b> and $<LINK_ONLY:a> name their libraries after the first comma or colon.
    string(REGEX REPLACE "\\$<LINK_LIBRARY:[^,>]*," "" links "${links}")
    string(REGEX REPLACE "\\$<LINK_ONLY:" "" links "${links}")
    string(REPLACE ">" "" links "${links}")
    string(REPLACE "," ";" links "${links}")
    foreach(link IN LISTS links)
      velmora_layer_of_target("${link}" used)
      if(used AND NOT used IN_LIST velmora_layer_${layer}_uses)
        message(FATAL_ERROR "layer ${layer} (${target}) links ${link}, a layer it may not use")
      endif()
      if(layer IN_LIST VELMORA_QT_FREE_LAYERS AND link MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "layer ${layer} (${target}) is Qt-free but links ${link}")
      endif()
    endforeach()
  endforeach()
endfunction()
