# Which library each folder of src/ builds into. Folders are subsystems; each belongs to one layer,
# and a layer links only the layers below it:
#   tarvik_workspace  what the login helper shares with the program (Qt Core and Network)
#   tarvik_engine     the engine and the command line; Qt Core, Network, D-Bus and libcurl, and
#                     never the desktop: `tarvikd` is built from it alone
#   tarvik_tray       the tray face above the engine: tray icons, menus, windows, notifications'
#                     delivery, drawing
# app/ (the tray program's entry) and server/ (tarvikd's entry) hold main() and build no library.
set(tarvik_workspace_folders login instance)
set(tarvik_engine_folders
    monitoring http certificates checks settings networkstate metrics history notifications
    commandline text)
set(tarvik_tray_folders
    app statusmenu menuitems windows trayitem traypresence drawing updates hosticons historyviews
    checkediting desktopnotifications)
set(tarvik_entry_folders server)

# The folder a test file is about (tests/<folder>_test.cpp) decides what it links.
function(tarvik_folder_layer folder out)
    foreach(layer workspace engine tray)
        if(folder IN_LIST tarvik_${layer}_folders)
            set(${out} ${layer} PARENT_SCOPE)
            return()
        endif()
    endforeach()
    set(${out} "" PARENT_SCOPE)
endfunction()

# Every library a target links, directly or through others, as CMake knows them at the end of
# configuring (imported targets included).
function(tarvik_link_closure target out)
    set(seen)
    set(queue ${target})
    while(queue)
        list(POP_FRONT queue current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        if(NOT TARGET ${current})
            continue()
        endif()
        get_target_property(aliased ${current} ALIASED_TARGET)
        if(aliased)
            list(APPEND queue ${aliased})
        endif()
        set(links)
        foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(value ${current} ${property})
            if(value)
                list(APPEND links ${value})
            endif()
        endforeach()
        foreach(link ${links})
            # $<LINK_ONLY:X> still links X; any other expression is read for the targets in it.
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
            string(REGEX MATCHALL "[A-Za-z0-9_.+-]+::[A-Za-z0-9_.+-]+|^[^$<>:;]+$" names "${link}")
            list(APPEND queue ${names})
        endforeach()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Fails the configure when the engine library can reach the desktop: no Qt Gui or Widgets, no X11
# or xcb anywhere in what it links. A tray dependency added to the engine stops the build here,
# before a server ships with a desktop it cannot open.
function(tarvik_check_engine_links)
    tarvik_link_closure(tarvik_engine closure)
    set(forbidden)
    foreach(library ${closure})
        if(library MATCHES "^Qt6?::(Gui|Widgets|OpenGL)|^X11::|xcb|XCB|libQt6(Gui|Widgets|OpenGL)|libX11|^tarvik_tray$")
            list(APPEND forbidden ${library})
        endif()
    endforeach()
    if(forbidden)
        message(FATAL_ERROR "tarvik_engine must not reach the desktop, but links ${forbidden} "
                            "(all it links: ${closure})")
    endif()
endfunction()

# Every folder of src/ is in exactly one of the lists above.
function(tarvik_check_folders_listed)
    file(GLOB entries LIST_DIRECTORIES true RELATIVE ${PROJECT_SOURCE_DIR}/src
         ${PROJECT_SOURCE_DIR}/src/*)
    set(listed ${tarvik_workspace_folders} ${tarvik_engine_folders} ${tarvik_tray_folders}
               ${tarvik_entry_folders})
    foreach(entry ${entries})
        if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/src/${entry} AND NOT entry IN_LIST listed)
            message(FATAL_ERROR "src/${entry} belongs to no library: add it to cmake/Layers.cmake")
        endif()
    endforeach()
endfunction()

# A lower layer's sources include nothing of a higher layer's folders: the engine never names a
# tray header, the workspace neither. Caught here, at configure time, rather than as a link
# error in tarvikd or a tray type creeping into the engine through a header.
function(tarvik_check_layer_includes)
    set(above_workspace ${tarvik_engine_folders} ${tarvik_tray_folders})
    set(above_engine ${tarvik_tray_folders})
    foreach(layer workspace engine)
        list(JOIN above_${layer} "|" above)
        foreach(folder ${tarvik_${layer}_folders})
            file(GLOB files ${PROJECT_SOURCE_DIR}/src/${folder}/*.h
                 ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
            foreach(file ${files})
                file(STRINGS ${file} includes REGEX "^#include \"(${above})/")
                if(includes)
                    message(FATAL_ERROR "${file} (tarvik_${layer}) includes a higher layer's "
                                        "header: ${includes}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endfunction()
