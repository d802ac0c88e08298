# Runs at install time (install(CODE) in CMakeLists.txt): writes the desktop entry with the
# launcher's absolute path under the prefix in force, and installs it to share/applications.
if(IS_ABSOLUTE "${HONDANA_INSTALL_BINDIR}")
    set(launcher "${HONDANA_INSTALL_BINDIR}/hondana-launch")
else()
    set(launcher "${CMAKE_INSTALL_PREFIX}/${HONDANA_INSTALL_BINDIR}/hondana-launch")
endif()
cmake_path(NORMAL_PATH launcher)

# The Exec key quotes an argument holding a reserved character, escapes ", `, $ and \ inside the
# quotes with a backslash, and every backslash once more as a string value, as desktop
# environments read the key; % is written %%.
set(exec "${launcher}")
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`[]")
    string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\\\"" exec "${exec}")
    string(REPLACE "`" "\\\\`" exec "${exec}")
    string(REPLACE "$" "\\\\$" exec "${exec}")
    set(exec "\"${exec}\"")
endif()

set(HONDANA_DESKTOP_EXEC "${exec}")
configure_file("${HONDANA_DESKTOP_TEMPLATE}" "${HONDANA_DESKTOP_STAGED}" @ONLY)
if(IS_ABSOLUTE "${HONDANA_INSTALL_DATADIR}")
    set(applications "${HONDANA_INSTALL_DATADIR}/applications")
else()
    set(applications "${CMAKE_INSTALL_PREFIX}/${HONDANA_INSTALL_DATADIR}/applications")
endif()
file(INSTALL "${HONDANA_DESKTOP_STAGED}" DESTINATION "${applications}")
