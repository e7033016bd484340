# cmake -DBINARY=path -P LinksNoDesktop.cmake: fails when the binary loads Qt Gui or Widgets, Xlib
# or xcb, directly or through another library (ldd lists them all).
execute_process(COMMAND ldd ${BINARY} OUTPUT_VARIABLE libraries RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "ldd ${BINARY} failed: ${status}")
endif()
string(REGEX MATCHALL "lib(Qt6Gui|Qt6Widgets|Qt6OpenGL|X11|xcb)[^ \t\n]*" desktop "${libraries}")
if(desktop)
    message(FATAL_ERROR "${BINARY} loads ${desktop}")
endif()
message(STATUS "${BINARY} loads no desktop library")
