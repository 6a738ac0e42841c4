# Run by `cmake --install`: the registry file that names the installed
# launcher's folder (as POV-Ray for Windows' entry would), and the program's
# link in the bin folder. Paths inside the files are the final ones, without
# DESTDIR, which only says where the tree is staged.
set(home ${CMAKE_INSTALL_PREFIX}/${BF_INSTALL_HOME})
set(staged $ENV{DESTDIR}${home})
message(STATUS "Installing: ${staged}/etc/registry.reg")
file(WRITE ${staged}/etc/registry.reg
     "Windows Registry Editor Version 5.00\r\n\r\n"
     "[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\CurrentVersion\\Windows]\r\n"
     "\"Home\"=\"${home}\"\r\n")
set(bindir $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${BF_INSTALL_BINDIR})
file(RELATIVE_PATH target ${CMAKE_INSTALL_PREFIX}/${BF_INSTALL_BINDIR} ${home}/bin/brightfold)
file(MAKE_DIRECTORY ${bindir})
message(STATUS "Installing: ${bindir}/brightfold -> ${target}")
file(CREATE_LINK ${target} ${bindir}/brightfold SYMBOLIC)
