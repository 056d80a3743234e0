# The viewer and the combiner share the widget helpers with the main program
# but never link its windows: configuring fails when one of them reaches the
# main window's library through any library it links.
function(tessaly_collect_links target out)
  set(seen ${${out}})
  get_target_property(links ${target} LINK_LIBRARIES)
  foreach(link IN LISTS links)
    if(TARGET ${link} AND NOT link IN_LIST seen)
      list(APPEND seen ${link})
      tessaly_collect_links(${link} seen)
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

foreach(program orvane quiltry)
  set(reached "")
  tessaly_collect_links(${program} reached)
  if(tessaly_gui IN_LIST reached)
    message(FATAL_ERROR "${program} links the main window's library tessaly_gui")
  endif()
endforeach()
