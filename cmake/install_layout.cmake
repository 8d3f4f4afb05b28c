# Where `make install` and the package put the game, relative to the install prefix. The executable
# goes where Debian keeps games (games/, with its data under share/games/), the desktop files where
# every desktop looks for them. The game finds its data from its own folder through the relative
# path computed here, so a moved or unpacked tree keeps working.
set(GAME_INSTALL_BINDIR "games" CACHE STRING "Folder of the executable, relative to the prefix")
set(GAME_INSTALL_DATADIR "share/games/brakkovane3d" CACHE STRING "Folder of the game's data, relative to the prefix")
set(GAME_INSTALL_DOCDIR "share/doc/brakkovane3d" CACHE STRING "Folder of the licences and notes")
set(GAME_INSTALL_MANDIR "share/man" CACHE STRING "Folder of the manual pages")
foreach(dir GAME_INSTALL_BINDIR GAME_INSTALL_DATADIR)
  if(IS_ABSOLUTE "${${dir}}")
    message(FATAL_ERROR "${dir} must be relative to the prefix, so that the installed tree can move")
  endif()
endforeach()
file(RELATIVE_PATH GAME_DATA_FROM_EXECUTABLE "/prefix/${GAME_INSTALL_BINDIR}" "/prefix/${GAME_INSTALL_DATADIR}/data")

# The desktop id (reverse-DNS of the project's own name under the documentation-only .example domain:
# it names no existing vendor or service). Desktop entry, metadata and icons are all named by it.
set(GAME_APP_ID "example.brakkovane3d.Brakkovane3D")
