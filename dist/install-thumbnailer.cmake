# Run by `cmake --install` (and CPack): installs the thumbnailer entry only where file managers
# can run it. GNOME runs thumbnailers in a sandbox that holds /usr and little else, so a program
# under any other prefix (~/.local, /opt) fails there for every file, and GNOME records each
# failure for good. Such an install gets no entry, and says so.
# Set before this runs: GG_THUMBNAILER_IN (the template), GG_THUMBNAILER_OUT (where the entry is
# made), GG_BINDIR, GG_DATADIR.
if(CMAKE_INSTALL_PREFIX MATCHES "^/usr(/|$)")
  set(GG_EXTRACT "${CMAKE_INSTALL_PREFIX}/${GG_BINDIR}/glimmer-extract")
  string(REGEX REPLACE "/+" "/" GG_EXTRACT "${GG_EXTRACT}")
  configure_file("${GG_THUMBNAILER_IN}" "${GG_THUMBNAILER_OUT}" @ONLY)
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${GG_DATADIR}/thumbnailers" TYPE FILE FILES "${GG_THUMBNAILER_OUT}")
else()
  message(STATUS "No thumbnailer entry installed: GNOME runs thumbnailers in a sandbox that sees only /usr, "
                 "where ${CMAKE_INSTALL_PREFIX} is not; install with --prefix /usr/local, or the package, "
                 "for thumbnails in file managers.")
endif()
